#include "comms/model_table.h"

#include "comms/workers.h"

const std::array<ModelRow, kModelCount> g_ModelTable{{
    {0, "TR-11", RunTr11Scale, 1, 1, 1, 0},
    {1, "TR-24", RunTr24Scale, 1, 1, 1, 0},
    {2, "TR-70", RunTr70Scale, 1, 1, 1, 0},
    {3, "TR-150", RunTr150Scale, 1, 1, 1, 0},
    {4, "TR-152 / TR-156", RunTr152Scale, 1, 1, 1, 0},
    {5, "TR-175", RunTr11Scale, 1, 1, 1, 0},
    {8, "TR-500", RunTr500Scale, 1, 1, 1, 0},
    {6, "TC-180", RunTc180Scale, 0, 1, 1, 0},
    {7, "TS-440", RunTs440Scale, 1, 1, 1, 0},
    {10, "TS-740", RunTs740Scale, 1, 0, 0, 0},
    {11, "TS-748", RunTs748Scale, 1, 0, 1, 0},
    {12, "Orvel QB/QT", RunOrvelScale, 1, 1, 1, 0},
    {13, "Mareno Kiki - HL/Vela/AK", RunMarenoScale, 1, 1, 1, 0},
    {14, "KT m25", RunKtM25Scale, 1, 1, 1, 1},
    {15, "TRX-3005", RunTr70Scale, 1, 1, 1, 0},
    {16, "TSX-4000", RunTsx4000Scale, 1, 1, 1, 0},
}};

void LookupModel(ModelRow* out, std::string* name) {
    for (const ModelRow& row : g_ModelTable) {
        if (*name == row.name) {
            *out = row;
            return;
        }
    }
    *out = g_ModelTable[kDefaultModelRow];
    *name = g_ModelTable[kDefaultModelRow].name;
}

std::string CheckScaleModel() {
    for (const ModelRow& row : g_ModelTable)
        if (g_ModelName == row.name)
            return "";
    return g_ModelName + " does not exist for this version";
}

std::string CheckRunningMode() {
    for (const char* mode : {"Command", "Manual", "Stream", "Excel"})
        if (g_RunMode == mode)
            return "";
    return "Invalid running mode";
}

std::string CheckSettings() { return CheckScaleModel() + CheckRunningMode(); }
