#include "app/gui/resources.h"

#include "app/gui/command_ids.h"
#include "app/gui_base/text.h"

#include <wx/bitmap.h>
#include <wx/menu.h>
#include <wx/toolbar.h>

#include "res/toolbar/format.xpm"
#include "res/toolbar/get.xpm"
#include "res/toolbar/hotkey.xpm"
#include "res/toolbar/new.xpm"
#include "res/toolbar/open.xpm"
#include "res/toolbar/output.xpm"
#include "res/toolbar/port.xpm"
#include "res/toolbar/save.xpm"
#include "res/toolbar/scale.xpm"
#include "res/toolbar/select.xpm"
#include "res/toolbar/start.xpm"
#include "res/toolbar/status.xpm"
#include "res/toolbar/stop.xpm"

#include <string_view>

const std::array<PaneDef, 7> kStatusPanes{{
    {0, ""},
    {ID_INDICATOR_CAPS, "CAP"},
    {ID_INDICATOR_SCRL, "SCRL"},
    {ID_INDICATOR_MODE, "MDE"},
    {ID_INDICATOR_MODEL, "SCALE"},
    {ID_INDICATOR_OUTMODE, "RMode"},
    {ID_INDICATOR_PORT, "Port:Baud,Data,Parity,Stop,Control"},
}};

namespace {

struct PromptDef {
    int id;
    const char* text; // prompt "\n" tooltip
};

// The string table of command prompts. The File and Edit prompts are the usual ones of a document
// program; the others belong to Pondra.
constexpr PromptDef kPrompts[] = {
    {wxID_NEW, "Create a new document\nNew"},
    {wxID_OPEN, "Open an existing document\nOpen"},
    {wxID_SAVE, "Save the active document\nSave"},
    {wxID_SAVEAS, "Save the active document with a new name\nSave As"},
    {wxID_PRINT, "Print the active document\nPrint"},
    {wxID_PREVIEW, "Display full pages\nPrint Preview"},
    {wxID_PRINT_SETUP, "Change the printer and printing options\nPrint Setup"},
    {ID_APP_EXIT, "Quit the application\nExit"},
    {wxID_UNDO, "Undo the last action\nUndo"},
    {wxID_CUT, "Cut the selection and put it on the Clipboard\nCut"},
    {wxID_COPY, "Copy the selection and put it on the Clipboard\nCopy"},
    {wxID_PASTE, "Insert Clipboard contents\nPaste"},
    {wxID_CLEAR, "Erase the selection\nErase"},
    {wxID_SELECTALL, "Select the entire document\nSelect All"},
    {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
    {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
    {ID_HELP_FINDER, "List Help topics\nHelp Topics"},
    {wxID_ABOUT, "Display program information, version number and copyright\nAbout"},
    {ID_SCALE_SETTING, "Change scale type and mode setting\nScale Setting"},
    {ID_PORT_SETTING, "Change port communication setting\nPort Setting"},
    {ID_OUTPUT_MODE, "Change computer output mode setting\nOutput Mode Setting"},
    {ID_HOTKEY_SETTING, "Start-up and Change hot key setting\nStart-up & Hotkey Setting"},
    {ID_SAVE_SETTING, "Save all of the configuration setting\nSave configuration settings"},
    {ID_TRANSFER_START, "Start computer - scale communication\nStart Communicaiton"},
    {ID_TRANSFER_STOP, "Stop scale and computer communication\nStop Communication"},
    {ID_TRANSFER_GET, "Get data for Command Mode\nGet Data"},
    {ID_TRANSFER_SELECT, "Select scales for Get Data request\nSelect Scales"},
    {ID_FIELD_SELECT, "Change output data format\nData Format"},
    {ID_COMMS_STATUS, "Status of last communication with scales\nCommunication status"},
};

std::string_view PromptOf(int id) {
    for (const PromptDef& p : kPrompts)
        if (p.id == id)
            return p.text;
    return {};
}

enum class Entry { Popup, EndPopup, Item, Check, Separator };

struct MenuDef {
    Entry entry;
    int id;
    const char* text;
};

// Menu 128, item by item; a popup's items follow it up to its EndPopup.
constexpr MenuDef kMainMenu[] = {
    {Entry::Popup, 0, "&File"},
    {Entry::Item, wxID_NEW, "&New\tCtrl+N"},
    {Entry::Item, wxID_OPEN, "&Open...\tCtrl+O"},
    {Entry::Item, wxID_SAVE, "&Save\tCtrl+S"},
    {Entry::Item, wxID_SAVEAS, "Save &As..."},
    {Entry::Separator, 0, nullptr},
    {Entry::Item, wxID_PRINT, "&Print...\tCtrl+P"},
    {Entry::Item, wxID_PREVIEW, "Print Pre&view"},
    {Entry::Item, wxID_PRINT_SETUP, "P&rint Setup..."},
    {Entry::Separator, 0, nullptr},
    {Entry::Item, ID_FILE_MRU_PLACEHOLDER, "Recent File"},
    {Entry::Separator, 0, nullptr},
    {Entry::Item, ID_APP_EXIT, "E&xit"},
    {Entry::EndPopup, 0, nullptr},
    {Entry::Popup, 0, "&Edit"},
    {Entry::Item, wxID_UNDO, "&Undo\tCtrl+Z"},
    {Entry::Separator, 0, nullptr},
    {Entry::Item, wxID_CUT, "Cu&t\tCtrl+X"},
    {Entry::Item, wxID_COPY, "&Copy\tCtrl+C"},
    {Entry::Item, wxID_PASTE, "&Paste\tCtrl+V"},
    {Entry::Item, wxID_CLEAR, "&Delete\tDel"},
    {Entry::Item, wxID_SELECTALL, "Select &All\tCtrl+A"},
    {Entry::EndPopup, 0, nullptr},
    {Entry::Popup, 0, "&View"},
    {Entry::Check, ID_VIEW_TOOLBAR, "&Toolbar"},
    {Entry::Check, ID_VIEW_STATUS_BAR, "&Status Bar"},
    {Entry::EndPopup, 0, nullptr},
    {Entry::Popup, 0, "&Setting"},
    {Entry::Item, ID_SCALE_SETTING, "&Scale Type and Mode"},
    {Entry::Separator, 0, nullptr},
    {Entry::Item, ID_PORT_SETTING, "&Port Setting"},
    {Entry::Popup, 0, "&Data Format"},
    {Entry::Item, ID_FIELD_SELECT, "Field S&elect"},
    {Entry::Item, ID_FIELD_FORMAT, "Field F&ormat"},
    {Entry::EndPopup, 0, nullptr},
    {Entry::Item, ID_OUTPUT_MODE, "&Output Mode"},
    {Entry::Item, ID_HOTKEY_SETTING, "Start-up and &Hotkey Setting"},
    {Entry::Item, ID_LOG_FILE, "&Log File"},
    {Entry::Separator, 0, nullptr},
    {Entry::Item, ID_SAVE_SETTING, "Save Set&ting"},
    {Entry::EndPopup, 0, nullptr},
    {Entry::Popup, 0, "&Transfer"},
    {Entry::Item, ID_TRANSFER_START, "St&art\tF5"},
    {Entry::Item, ID_TRANSFER_STOP, "St&op\tF10"},
    {Entry::Item, ID_TRANSFER_GET, "G&et"},
    {Entry::Separator, 0, nullptr},
    {Entry::Item, ID_TRANSFER_SELECT, "&Select"},
    {Entry::Item, ID_COMMS_STATUS, "&Comms Status"},
    {Entry::EndPopup, 0, nullptr},
    {Entry::Popup, 0, "&Help"},
    {Entry::Item, ID_HELP_FINDER, "&Pondra Manual"},
    {Entry::Separator, 0, nullptr},
    {Entry::Item, wxID_ABOUT, "&About Pondra..."},
    {Entry::EndPopup, 0, nullptr},
};

struct AccelDef {
    int flags;
    int key;
    int id;
};

// Accelerators 128 that no menu label carries already.
constexpr AccelDef kAccelerators[] = {
    {wxACCEL_NORMAL, WXK_F1, ID_HELP},       {wxACCEL_SHIFT, WXK_F1, ID_CONTEXT_HELP},
    {wxACCEL_ALT, WXK_BACK, wxID_UNDO},      {wxACCEL_CTRL, WXK_INSERT, wxID_COPY},
    {wxACCEL_SHIFT, WXK_INSERT, wxID_PASTE},
};

struct ToolDef {
    int id; // 0 = separator
    const char* const* image;
};

// Toolbar 128, button by button.
constexpr ToolDef kToolbar[] = {
    {wxID_NEW, toolbar_new_xpm},
    {wxID_OPEN, toolbar_open_xpm},
    {0, nullptr},
    {ID_SCALE_SETTING, toolbar_scale_xpm},
    {ID_PORT_SETTING, toolbar_port_xpm},
    {ID_FIELD_SELECT, toolbar_format_xpm},
    {ID_OUTPUT_MODE, toolbar_output_xpm},
    {ID_HOTKEY_SETTING, toolbar_hotkey_xpm},
    {ID_TRANSFER_SELECT, toolbar_select_xpm},
    {ID_COMMS_STATUS, toolbar_status_xpm},
    {ID_SAVE_SETTING, toolbar_save_xpm},
    {0, nullptr},
    {ID_TRANSFER_START, toolbar_start_xpm},
    {ID_TRANSFER_STOP, toolbar_stop_xpm},
    {ID_TRANSFER_GET, toolbar_get_xpm},
};

} // namespace

std::string CommandPrompt(int id) {
    const std::string_view text = PromptOf(id);
    return std::string(text.substr(0, text.find('\n')));
}

std::string CommandTooltip(int id) {
    const std::string_view text = PromptOf(id);
    const std::size_t newline = text.find('\n');
    return newline == std::string_view::npos ? std::string() : std::string(text.substr(newline + 1));
}

wxMenuBar* CreateMainMenu() {
    auto* bar = new wxMenuBar;
    std::vector<std::pair<wxMenu*, const char*>> open; // popups being filled, innermost last
    for (const MenuDef& def : kMainMenu) {
        switch (def.entry) {
        case Entry::Popup:
            open.emplace_back(new wxMenu, def.text);
            break;
        case Entry::EndPopup: {
            auto [menu, title] = open.back();
            open.pop_back();
            if (open.empty())
                bar->Append(menu, title);
            else
                open.back().first->AppendSubMenu(menu, title);
            break;
        }
        case Entry::Separator:
            open.back().first->AppendSeparator();
            break;
        case Entry::Item:
        case Entry::Check:
            open.back().first->Append(def.id, def.text, FromBytes(CommandPrompt(def.id)),
                                      def.entry == Entry::Check ? wxITEM_CHECK : wxITEM_NORMAL);
            break;
        }
    }
    return bar;
}

wxAcceleratorTable CreateAccelerators() {
    std::vector<wxAcceleratorEntry> entries;
    for (const AccelDef& def : kAccelerators)
        entries.emplace_back(def.flags, def.key, def.id);
    return wxAcceleratorTable(static_cast<int>(entries.size()), entries.data());
}

void AddToolbarButtons(wxToolBar* toolbar) {
    for (const ToolDef& def : kToolbar) {
        if (def.id == 0) {
            toolbar->AddSeparator();
            continue;
        }
        const wxBitmap image(def.image);
        // A disabled button is drawn in grey, so that a coloured image does not look available.
        toolbar->AddTool(def.id, wxString(), image, image.ConvertToDisabled(), wxITEM_NORMAL,
                         FromBytes(CommandTooltip(def.id)), FromBytes(CommandPrompt(def.id)));
    }
    toolbar->Realize();
}
