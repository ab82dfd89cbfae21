// The main window's resources: menu, accelerators, toolbar, command prompts and status-bar panes,
// declared as tables and turned into wxWidgets objects here.
#pragma once

#include <array>
#include <string>
#include <wx/accel.h>

class wxMenuBar;
class wxToolBar;

// Status-bar pane: indicator id and the text that gives its initial text and width.
struct PaneDef {
    int id;
    const char* initialText;
};
extern const std::array<PaneDef, 7> kStatusPanes;

// Builds menu 128. Every item carries its command prompt as help text.
wxMenuBar* CreateMainMenu();
// The accelerators that are not already part of a menu item's label.
wxAcceleratorTable CreateAccelerators();
// Adds the buttons of toolbar 128, with their tooltips and prompts, and realises the toolbar.
void AddToolbarButtons(wxToolBar* toolbar);

// The status-bar prompt of a command (the text before "\n"), "" when it has none.
std::string CommandPrompt(int id);
// The tooltip of a command (the text after "\n"), "" when it has none.
std::string CommandTooltip(int id);
