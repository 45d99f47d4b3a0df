// The program's string table: every user-visible message, by its resource id.
#pragma once

#include <initializer_list>
#include <string>

enum StringId : int {
    IDR_MAINFRAME = 128,
    IDR_PROFILE_TYPE = 129,
    IDR_VOLT_TYPE = 130,
    IDS_LOAD_PARAMS_FAILED = 131,
    IDS_CONNECT_FAILED = 132,
    IDS_DISCONNECT_FAILED = 133,
    IDS_SEND_FAILED = 134,
    IDS_COMMAND_PAGE = 201,
    IDS_CHANGES_AFTER_RECONNECT = 203,
    IDS_LIMITS_PHASE = 205,
    IDS_LIMITS_DAC = 206,
    IDS_LIMITS_TABLE = 208,
    IDS_CANT_OPEN_FILE = 210,
    IDS_ELEMENTS_INVALID = 212,
    IDS_BAD_PHASES = 214,
    IDS_CANT_GENERATE = 216,
    IDS_CLEAR_CONFIRM = 217,
    IDS_CANT_OPEN_TABLE = 218,
    IDS_TABLE_TOO_LARGE = 219,
    IDS_NO_RICHEDIT = 220,
    IDS_BUSY_CLOSE_APP = 221,
    IDS_BUSY_CLOSE_DOC = 222,
    IDS_BAD_DATA_VALUE = 224,
    // The record of loads and the links of scripts.
    IDS_LOAD_CANCELLED = 250,
    IDS_LOAD_RECORD_FAILED = 251,
    IDS_LINK_NOT_OPEN = 252,
    IDS_CUSTOMIZE = 20538,
    // The controller's commands: their prompts, the status bar text before the line break and
    // the tool tip after it.
    ID_CONTROLLER_RECEIVE = 32774,
    ID_CONTROLLER_SEND = 32775,
    ID_CONTROLLER_CONNECT = 32776,
    IDS_CANT_OPEN_PORT = 32780,
    IDS_APP_TITLE = 57344,
    ID_INDICATOR_TRANSFER = 59142,
    IDP_FAILED_TO_OPEN_DOC = 61697,
    IDP_FAILED_TO_SAVE_DOC = 61698,
    IDP_ASK_TO_SAVE = 61699,
    IDP_PARSE_INT = 61712,
    IDP_PARSE_REAL = 61713,
    IDP_PARSE_INT_RANGE = 61714,
    IDP_PARSE_REAL_RANGE = 61715,
    IDP_INVALID_FORMAT = 61728,
};

// The text of a string id; empty for an id the table does not hold.
const std::string& LoadString(int id);

// Replaces "%1", "%2", ... in a string-table text with the given arguments.
std::string FormatMessage(const std::string& pattern, std::initializer_list<std::string> args);
