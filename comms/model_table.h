// The sixteen scale models: id, name, worker procedure and the run modes each offers.
#pragma once

#include "comms/device.h"

#include <array>
#include <string>

// A worker procedure runs one scale session for its model on the scale's worker thread.
using WorkerProc = unsigned (*)(Device* dev);

struct ModelRow {
    int id;
    const char* name;
    WorkerProc worker;
    unsigned char command; // run mode "Command" offered
    unsigned char manual;  // run mode "Manual" offered
    unsigned char stream;  // run mode "Stream" offered
    unsigned char grams;   // the model can show weights in grams
};

constexpr int kModelCount = 16;
constexpr int kDefaultModelRow = 2; // "TR-70"

extern const std::array<ModelRow, kModelCount> g_ModelTable;

// Copies the first row named exactly `*name` into `*out`. An unknown name gives the "TR-70" row
// and is itself overwritten with "TR-70".
void LookupModel(ModelRow* out, std::string* name);
// "" when the model setting names a row, else "<model> does not exist for this version".
std::string CheckScaleModel();
// "" when the run-mode setting is "Command", "Manual", "Stream" or "Excel".
std::string CheckRunningMode();
// Both checks' texts, one directly after the other.
std::string CheckSettings();
