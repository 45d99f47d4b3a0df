#include "ui/Icons.h"

#include "ui/CommandIds.h"

#include <QString>

namespace {

// The picture of each command that has a tool bar button, by file name below
// ":/res/toolbar/".
const char* ToolbarImageName(int commandId) {
    switch (commandId) {
    case ID_FILE_NEW:
        return "file_new";
    case ID_FILE_OPEN:
        return "file_open";
    case ID_FILE_SAVE:
        return "file_save";
    case ID_EDIT_CUT:
        return "edit_cut";
    case ID_EDIT_COPY:
        return "edit_copy";
    case ID_EDIT_PASTE:
        return "edit_paste";
    case ID_EDIT_DATA:
        return "edit_data";
    case ID_EDIT_CLEAR_ALL:
        return "clear_all";
    case ID_CONTROLLER_CONNECT:
        return "connect";
    case ID_CONTROLLER_SEND:
        return "send";
    case ID_CONTROLLER_RECEIVE:
        return "receive";
    case ID_FILE_PRINT:
        return "print";
    case ID_APP_ABOUT:
        return "about";
    case ID_CONTEXT_HELP:
        return "context_help";
    default:
        return nullptr;
    }
}

} // namespace

QIcon ToolbarIcon(int commandId) {
    const char* name = ToolbarImageName(commandId);
    if (name == nullptr) {
        return QIcon();
    }
    return QIcon(QStringLiteral(":/res/toolbar/%1.xpm").arg(QLatin1String(name)));
}

QIcon AppIcon() {
    return QIcon(QStringLiteral(":/res/tessaron.xpm"));
}

QIcon ProfileDocIcon() {
    return QIcon(QStringLiteral(":/res/profile_doc.xpm"));
}

QIcon VoltDocIcon() {
    return QIcon(QStringLiteral(":/res/volt_doc.xpm"));
}
