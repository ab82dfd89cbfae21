// Texts the main window shows or derives from the settings, kept out of the window code so that they
// are tested without a display.
#pragma once

#include <string>

// The port pane of the status bar: the settings of the only scale, "" when there are several.
// A TCP scale reads "Ethernet: address:port", a serial one "port: baud, parity, data, stop, flow".
std::string PortPaneText();

// The data log path as chosen in the Log File dialog: ".log" is appended unless the name already
// ends in it (in any case).
std::string WithLogExtension(std::string path);
