// Program-wide settings values and the constant tables that number and name the 33 data fields.
// The settings file fills them, the dialogs edit them, the workers read them while a transfer runs.
// Only the GUI thread writes them, and it stops the workers around every settings dialog.
#pragma once

#include <array>
#include <string>

// Data-field numbers: the order of the output line and of the settings file.
enum DataField : int {
    DF_SIGN = 0, // not a data field: its enable flag is the leading-sign flag
    DF_DATE_TIME = 1,
    DF_ID_CODE = 2,
    DF_NET_WEIGHT,
    DF_GROSS_WEIGHT,
    DF_TARE_WEIGHT,
    DF_UNIT_WEIGHT,
    DF_QUANTITY,
    DF_SET_POINT_1W,
    DF_SET_POINT_1Q,
    DF_SET_POINT_2W,
    DF_SET_POINT_2Q,
    DF_SET_POINT_3,
    DF_SET_POINT_4,
    DF_SET_POINT_5,
    DF_SET_POINT_6,
    DF_TOTAL_QUANTITY,
    DF_TOTAL_WEIGHT,
    DF_TOTAL_TRANSACTION,
    DF_PARTS_NO,
    DF_PARTS_NAME,
    DF_INVENTORY,
    DF_REFERENCE1,
    DF_REFERENCE2,
    DF_SCALE_NO,
    DF_SCALE_DATE,
    DF_SCALE_TIME,
    DF_GRADING,
    DF_STATUS,
    DF_WEIGHT_UNIT,
    DF_UNIT_PRICE,
    DF_TOTAL_PRICE,
    DF_SCALE_NAME = 32,
};

constexpr int kFieldCount = 33;           // data-field numbers 0 to 32
constexpr int kMacroCount = 34;           // macro 33 closes the line
constexpr int kEndOfLineMacro = 33;
constexpr int kOutputFieldCount = 32;     // entries of the spreadsheet field list
constexpr int kFirstReadingField = DF_ID_CODE;
constexpr int kLastReadingField = DF_TOTAL_PRICE;

struct FieldFormat {
    std::string mask; // number-format mask, such as "010000.00"
    int rounding = 0; // a RoundingMode id
};

struct RoundingMode {
    int id;
    const char* name;
};

enum RoundingModeId : int { kRoundDown = 0, kRoundUp = 1, kRoundNearest = 2 };

inline constexpr std::array<RoundingMode, 3> g_RoundingModes{{
    {kRoundDown, "Round Down"},
    {kRoundUp, "Round Up"},
    {kRoundNearest, "Round Nearest (5/4)"},
}};

// The field's key in the settings file.
inline constexpr std::array<const char*, kFieldCount> g_DataFieldKeywords{
    "",
    "DateTime",
    "DF_ID_CODE",
    "DF_NET_WEIGHT",
    "DF_GROSS_WEIGHT",
    "DF_TARE_WEIGHT",
    "DF_UNIT_WEIGHT",
    "DF_QUANTITY",
    "DF_SET_POINT_1W",
    "DF_SET_POINT_1Q",
    "DF_SET_POINT_2W",
    "DF_SET_POINT_2Q",
    "DF_SET_POINT_3",
    "DF_SET_POINT_4",
    "DF_SET_POINT_5",
    "DF_SET_POINT_6",
    "DF_TOTAL_QUANTITY",
    "DF_TOTAL_WEIGHT",
    "DF_TOTAL_TRANSACTION",
    "DF_PARTS_NO",
    "DF_PARTS_NAME",
    "DF_INVENTORY",
    "DF_REFERENCE1",
    "DF_REFERENCE2",
    "DF_SCALE_NO",
    "DF_SCALE_DATE",
    "DF_SCALE_TIME",
    "DF_GRADING",
    "DF_STATUS",
    "DF_WEIGHT_UNIT",
    "DF_UNIT_PRICE",
    "DF_TOTAL_PRICE",
    "DF_SCALE_NAME",
};

// The field's name in the dialogs.
inline constexpr std::array<const char*, kFieldCount> g_FieldDisplayNames{
    "",
    "Date Time",
    "Code Number",
    "Net Weight",
    "Gross Weight",
    "Tare Weight",
    "Unit Weight",
    "Quantity",
    "Set Point 1 (Wgh)",
    "Set Point 1 (Qty)",
    "Set Point 2 (Wgh)",
    "Set Point 2 (Qty)",
    "Set Point 3",
    "Set Point 4",
    "Set Point 5",
    "Set Point 6",
    "Total Quantity",
    "Total Weight",
    "Total Trans.",
    "Part Number",
    "Part Name",
    "Inventory",
    "Reference 1",
    "Reference 2",
    "Scale Number",
    "Scale Date",
    "Scale Time",
    "Grading",
    "Status",
    "Weight Unit",
    "Unit Price",
    "Total Price",
    "Scale Name",
};

// 1 for the twelve weight and quantity fields that carry a number format.
inline constexpr std::array<int, kFieldCount> g_FieldHasFormat{
    0, 0, 0, 1, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};

// Settings values. Text values hold numbers as decimal text; they are converted where used.
extern std::string g_ModelName;         // "Model" [Scale]
extern std::string g_RunMode;           // "Mode" [Scale]: "Command", "Manual" or "Stream"
extern std::string g_CommandInterval;   // "CommandInterval" [Scale]: Get timer minutes
extern std::string g_OutMode;           // "OutMode" [Output]: "Test", "Link", "Log" or "Excel"
extern std::string g_Delay;             // "Delay" [Output]: milliseconds between keystrokes
extern int g_ExcelVisibility;           // "ExcelVisibility" [Output]
extern std::string g_WeightConversion;  // "WeightConversion" [DataFormat]: "1" = grams
extern std::array<int, kFieldCount> g_FieldEnabled;        // "Sign" and the field keywords
extern std::array<std::string, kMacroCount> g_Macros;      // "Macro1" to "Macro33"
extern std::array<FieldFormat, kFieldCount> g_FieldFormats; // "FormatNN" and "RoundingNN"
extern std::string g_HotKeyCode;        // "Code" [HotKey]
extern std::string g_StartUp;           // "StartUp" [HotKey]: "Mini" or "Norm"
extern std::string g_ExcelFile;         // "Excel" [ExcelSetting]: workbook path, "0" = none
extern int g_ExcelSheet;                // "Sheet" [ExcelSetting]: 1-based worksheet number
extern std::string g_ExcelCell;         // "Cell" [ExcelSetting]: first cell of the output
extern std::string g_ExcelDisplay;      // "Display" [ExcelSetting]: "Col" or "Row"
extern std::array<std::string, kOutputFieldCount> g_OutputFields; // "Field1".."Field32" (index 0 = Field1)
extern int g_ExcelByRows;               // 1 when the direction is "Row"
extern std::string g_ExcelNextCell;     // cell of the first field of the last reading written
extern std::string g_DefaultEthernetPort; // "11001" for the KT m25, else ""
extern std::string g_SettingsFolder;    // folder of the settings file

// Gives every value its start value, the one it has before the settings file is read.
void ResetSettingsValues();

// Field number of a settings keyword among fields 1 to 32, or -1.
int FindFieldByKeyword(const std::string& keyword);
// Field number of a display name among the fields that have a number format, or -1.
int FindFormattedFieldByDisplayName(const std::string& name);
