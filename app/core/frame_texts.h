// Texts the main window shows or derives from the settings, kept out of the window code so that they
// are tested without a display.
#pragma once

#include "platform/message_text.h"

#include <string>

// The port pane of the status bar: the settings of the only scale, "" when there are several.
// A TCP scale reads "Ethernet: address:port", a serial one "port: baud, parity, data, stop, flow",
// the port's device path as the file system spells it.
platform::MessageText PortPaneText();

// The data log path as chosen in the Log File dialog: ".log" is appended unless the name already
// ends in it (in any case).
std::string WithLogExtension(std::string path);
