// The program's command IDs: every menu item, accelerator and tool bar button carries one
// (QAction::data() holds it), so the tool bar's stored layout and the Customize sheet name
// commands by number.
#pragma once

// The controller's three commands are in the string table's list (their prompts share the IDs).
#include "framework/StringTable.h"

enum CommandId : int {
    ID_SEPARATOR = 0,
    ID_CUSTOMIZE = 200,
    ID_TOOLS_CALIBRATION = 201,
    ID_EDIT_DATA = 32777,
    ID_OPTICAL_CHECK = 32790,
    ID_EDIT_CLEAR_ALL = 32779,
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_CLOSE = 57602,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FILE1 = 57616,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_WINDOW_NEW = 57648,
    ID_WINDOW_ARRANGE = 57649,
    ID_WINDOW_CASCADE = 57650,
    ID_WINDOW_TILE_HORZ = 57651,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_HELP_FINDER = 57667,
    ID_CONTEXT_HELP = 57669,
    ID_HELP = 57670,
    ID_DEFAULT_HELP = 57671,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};
