#include "framework/StringTable.h"

#include <map>

namespace {

const std::map<int, std::string>& Table() {
    static const std::map<int, std::string> table = {
        {IDR_MAINFRAME, "Tessaron"},
        {IDR_PROFILE_TYPE,
         "\nProfile\nLC Profile\nLC Profile files(*.lcp)\n.lcp\nTessaron.Document\n"
         "Tessaron Document"},
        {IDR_VOLT_TYPE, "\nVoltPhase\nVolt-Phase\nVolt-Phase files(*.vf)\n.vf\nTessaron.Document2\n"
                        "Tessaron Document2"},
        {IDS_LOAD_PARAMS_FAILED, "Can't load params to controller"},
        {IDS_CONNECT_FAILED, "Can't connect to controller"},
        {IDS_DISCONNECT_FAILED, "Error during send disconnect command to controller"},
        {IDS_SEND_FAILED, "Error during send data to controller"},
        {IDS_COMMAND_PAGE, "Command"},
        {IDS_CHANGES_AFTER_RECONNECT, "All changes are made up after reconnecting to a controller"},
        {IDS_LIMITS_PHASE, "Low limit must be less then high limit.\n"
                           "High limit must be less or equal maximum phase."},
        {IDS_LIMITS_DAC, "Low limit must be less then high limit.\n"
                         "High limit must be less or equal maximum code of DAC."},
        {IDS_LIMITS_TABLE, "Program can't calculate low or high limit in parts of PI\n"
                           "using current correcting table."},
        {IDS_CANT_OPEN_FILE, "Can't open a file"},
        {IDS_ELEMENTS_INVALID, "Number of elements invalid (file must contain one or more\n"
                               "empty lines after last number)"},
        {IDS_BAD_PHASES, "Some numbers in array are greater then maximum phase (%e), or smaller "
                         "than 0. Indexes of this numbers:\n"},
        {IDS_CANT_GENERATE, "Wizard can't generate data, with this parameters"},
        {IDS_CLEAR_CONFIRM, "Clear ? Are you sure ?"},
        {IDS_CANT_OPEN_TABLE, "Can't open a file with correction table"},
        {IDS_TABLE_TOO_LARGE, "Some element(s) of correction table is too large"},
        {IDS_NO_RICHEDIT, "Can't load richedit control. Sorry..."},
        {IDS_BUSY_CLOSE_APP, "You can't close application now. The activity with the controller\n"
                             "was not finished. About 40 seconds can be demanded."},
        {IDS_BUSY_CLOSE_DOC, "You can't close the document during sending data to\n"
                             "controller. Please wait for finishing of operation."},
        {IDS_BAD_DATA_VALUE, "Please enter a number between 0 and %1."},
        {IDS_LOAD_CANCELLED, "The load was cancelled; the link to the controller was closed."},
        {IDS_LOAD_RECORD_FAILED, "Can't add the load to the record of loads"},
        {IDS_LINK_NOT_OPEN, "The link to the controller is not open"},
        {IDS_CUSTOMIZE, "Customize"},
        {ID_CONTROLLER_RECEIVE,
         "Receive current information from controller\nReceive from controller"},
        {ID_CONTROLLER_SEND, "Send current information to controller\nSend to controller"},
        {ID_CONTROLLER_CONNECT, "Connect to controller\nConnect to controller"},
        {IDS_CANT_OPEN_PORT, "Can't open COM-port"},
        {IDS_APP_TITLE, "Tessaron"},
        {ID_INDICATOR_TRANSFER, "data transfer..."},
        {IDP_FAILED_TO_OPEN_DOC, "Failed to open document."},
        {IDP_FAILED_TO_SAVE_DOC, "Failed to save document."},
        {IDP_ASK_TO_SAVE, "Save changes to %1?"},
        {IDP_PARSE_INT, "Please enter an integer."},
        {IDP_PARSE_REAL, "Please enter a number."},
        {IDP_PARSE_INT_RANGE, "Please enter an integer between %1 and %2."},
        {IDP_PARSE_REAL_RANGE, "Please enter a number between %1 and %2."},
        {IDP_INVALID_FORMAT, "Unexpected file format."},
    };
    return table;
}

} // namespace

const std::string& LoadString(int id) {
    static const std::string empty;
    const auto& table = Table();
    const auto it = table.find(id);
    return it == table.end() ? empty : it->second;
}

std::string FormatMessage(const std::string& pattern, std::initializer_list<std::string> args) {
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const std::size_t index = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (index < args.size()) {
                out += *(args.begin() + index);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}
