// The worker procedures of the scale models: each runs a scale session with its model's frame
// parser, engines and command bytes, and returns 0.
#pragma once

#include "comms/device.h"

unsigned RunTr11Scale(Device* dev);
unsigned RunTr24Scale(Device* dev);
unsigned RunTr70Scale(Device* dev);
unsigned RunTr150Scale(Device* dev);
unsigned RunTr152Scale(Device* dev);
unsigned RunTr500Scale(Device* dev);
unsigned RunTc180Scale(Device* dev);
unsigned RunTs440Scale(Device* dev);
unsigned RunTs740Scale(Device* dev);
unsigned RunTs748Scale(Device* dev);
unsigned RunOrvelScale(Device* dev);
unsigned RunMarenoScale(Device* dev);
unsigned RunKtM25Scale(Device* dev);
unsigned RunTsx4000Scale(Device* dev);
