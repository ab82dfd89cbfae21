// Spreadsheet output of the main frame (output mode "Excel").
#include "app/gui/main_frame.h"

// The spreadsheet layer is not part of the program yet: starting the output fails, so the start
// reports "There's an error starting Excel" and readings are still shown in the view.
bool CMainFrame::StartExcel() { return false; }
bool CMainFrame::CloseExcel() { return true; }
void CMainFrame::WriteReadingToExcel(Device*) {}
