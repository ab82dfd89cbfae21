// Command and pane ids of the main window. File, Edit, About and Exit use wxWidgets' standard ids, so
// that the document manager, the edit control and the stock menu items serve them. The program's own
// commands keep their command numbers with the top bit dropped: wxWidgets takes menu and tool ids
// only below 0x7FFF, and the numbers stay distinct without that bit.
#pragma once

#include <wx/defs.h>

constexpr int CommandWindowId(int command) {
    return command & 0x7FFF;
}

enum CommandId : int {
    ID_SCALE_SETTING = CommandWindowId(0x8005),
    ID_PORT_SETTING = CommandWindowId(0x8006),
    ID_OUTPUT_MODE = CommandWindowId(0x8008),
    ID_HOTKEY_SETTING = CommandWindowId(0x8009),
    ID_LOG_FILE = CommandWindowId(0x800A),
    ID_SAVE_SETTING = CommandWindowId(0x800B),
    ID_TRANSFER_START = CommandWindowId(0x800C),
    ID_TRANSFER_STOP = CommandWindowId(0x800D),
    ID_TRANSFER_GET = CommandWindowId(0x800E),
    ID_TRANSFER_SELECT = CommandWindowId(0x800F),
    ID_FIELD_SELECT = CommandWindowId(0x8010),
    ID_FIELD_FORMAT = CommandWindowId(0x8011),
    ID_COMMS_STATUS = CommandWindowId(0x8014),

    ID_HELP_FINDER = CommandWindowId(0xE143),
    ID_HELP = CommandWindowId(0xE146),
    ID_CONTEXT_HELP = CommandWindowId(0xE145),
    ID_DEFAULT_HELP = CommandWindowId(0xE147),

    // Exit has an id of its own rather than the stock one, which would bring an accelerator along.
    ID_APP_EXIT = CommandWindowId(0xE141),

    ID_VIEW_TOOLBAR = CommandWindowId(0xE800),
    ID_VIEW_STATUS_BAR = CommandWindowId(0xE801),

    // Greyed line that stands for the recent-file list while it is empty.
    ID_FILE_MRU_PLACEHOLDER = CommandWindowId(0xE110),
};

// Ids of the status-bar indicators, pane by pane.
enum PaneId : int {
    ID_INDICATOR_CAPS = 0xE701,
    ID_INDICATOR_SCRL = 0xE703,
    ID_INDICATOR_MODE = 0x8013,
    ID_INDICATOR_MODEL = 0x8012,
    ID_INDICATOR_OUTMODE = 104,
    ID_INDICATOR_PORT = 103,
};

enum StatusPane : int {
    kPaneMessage = 0,
    kPaneCaps,
    kPaneScroll,
    kPaneRunMode,
    kPaneModel,
    kPaneOutMode,
    kPanePort,
    kPaneCount
};
