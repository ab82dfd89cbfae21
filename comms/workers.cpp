#include "comms/workers.h"

#include "comms/session.h"

// The models' parsers and engines are wired in here as they are built; until then a session of a
// model runs no engine and ends at once without a message.
unsigned RunTr11Scale(Device* dev) { return RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, "\x05"); }
unsigned RunTr24Scale(Device* dev) { return RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, "\x06"); }
unsigned RunTr70Scale(Device* dev) { return RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, "\x05"); }
unsigned RunTr150Scale(Device* dev) { return RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, "\x06"); }
unsigned RunTr152Scale(Device* dev) { return RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, "\x05"); }
unsigned RunTr500Scale(Device* dev) { return RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, "\x06\x01"); }
unsigned RunTc180Scale(Device* dev) { return RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, nullptr); }
unsigned RunTs440Scale(Device* dev) { return RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, "\x05"); }
unsigned RunTs740Scale(Device* dev) { return RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, "\x05"); }
unsigned RunTs748Scale(Device* dev) { return RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, "\x05"); }
unsigned RunOrvelScale(Device* dev) { return RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, "P1\r\n"); }
unsigned RunMarenoScale(Device* dev) { return RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, "O8\r\n"); }
unsigned RunKtM25Scale(Device* dev) { return RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, "\x01\r\n"); }
unsigned RunTsx4000Scale(Device* dev) { return RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, "\x05"); }
