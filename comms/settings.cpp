#include "comms/settings.h"

std::string g_ModelName;
std::string g_RunMode;
std::string g_CommandInterval;
std::string g_OutMode;
std::string g_Delay;
int g_ExcelVisibility = 0;
std::string g_WeightConversion = "0";
std::array<int, kFieldCount> g_FieldEnabled;
std::array<std::string, kMacroCount> g_Macros;
std::array<FieldFormat, kFieldCount> g_FieldFormats;
std::string g_HotKeyCode;
std::string g_StartUp;
std::string g_ExcelFile;
int g_ExcelSheet = 0;
std::string g_ExcelCell;
std::string g_ExcelDisplay;
std::array<std::string, kOutputFieldCount> g_OutputFields;
int g_ExcelByRows = 0;
std::string g_ExcelNextCell;
std::string g_DefaultEthernetPort;
std::string g_SettingsFolder;

namespace {
// Start values are in place before any other code runs.
const bool kStartValuesSet = (ResetSettingsValues(), true);
} // namespace

void ResetSettingsValues() {
    g_ModelName.clear();
    g_RunMode.clear();
    g_CommandInterval.clear();
    g_OutMode.clear();
    g_Delay.clear();
    g_ExcelVisibility = 0;
    g_WeightConversion = "0";
    g_FieldEnabled.fill(1);
    g_Macros.fill("9");
    g_Macros[0] = "0";
    g_Macros[kEndOfLineMacro] = "10";
    g_FieldFormats.fill(FieldFormat{});
    g_HotKeyCode.clear();
    g_StartUp.clear();
    g_ExcelFile.clear();
    g_ExcelSheet = 0;
    g_ExcelCell.clear();
    g_ExcelDisplay.clear();
    g_OutputFields.fill("");
    g_ExcelByRows = 0;
    g_ExcelNextCell.clear();
    g_DefaultEthernetPort.clear();
    g_SettingsFolder.clear();
}

int FindFieldByKeyword(const std::string& keyword) {
    for (int n = 1; n < kFieldCount; ++n)
        if (keyword == g_DataFieldKeywords[n])
            return n;
    return -1;
}

int FindFormattedFieldByDisplayName(const std::string& name) {
    for (int n = 0; n < kFieldCount; ++n)
        if (g_FieldHasFormat[n] && name == g_FieldDisplayNames[n])
            return n;
    return -1;
}
