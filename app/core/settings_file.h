// The settings file "Pondra.ini" in the program's folder: every settings value of comms/settings.h,
// one [Commode] section per scale of the device list, and the two values the main frame owns.
// Read once while the main frame is created; written whole on Save Setting and on exit. Window-free:
// the two moments that need a message box go through SettingsFileUi.
//
// On disk every line ends in CR LF; the reader also accepts plain LF. A save writes a new file
// beside the old one and renames it into place, so a save that fails leaves the old file intact.
#pragma once

#include "platform/message_text.h"

#include <limits>
#include <string>
#include <string_view>

// The values of the settings file that belong to the main frame rather than to the program.
struct FrameSettings {
    std::string m_logFile;        // "LogFile" [Output]: path of the data log file
    unsigned m_timerInterval = 0; // Get timer period in ms derived from g_CommandInterval; 0 = none
};

// The main frame's side of the two message-box moments. Both calls block until the box is closed.
class SettingsFileUi {
public:
    virtual ~SettingsFileUi() = default;
    // An OK box with the text as it stands (kSettingsFileCreatedText when the file was missing).
    virtual void ShowSettingsNotice(const platform::MessageText& text) = 0;
    // An OK box titled "Error".
    virtual void ShowSettingsError(const platform::MessageText& text) = 0;
};

inline constexpr const char* kSettingsFileName = "Pondra.ini";
inline constexpr const char* kSettingsFileCreatedText =
    "Pondra.ini is not available. A new setting file was created.\nPlease change setting in Pondra as "
    "similar as the scale!";
inline constexpr const char* kSettingsSavedText = "All settings are saved"; // status bar, after a save
inline constexpr const char* kSettingsErrorTitle = "Error";

// The longest period the Get timer holds (it takes an int of milliseconds): about 24.8 days.
inline constexpr unsigned kMaxTimerIntervalMs = std::numeric_limits<int>::max();
// The Get timer's period in milliseconds for a command interval in minutes; 0 (no timer) for "" and
// for an interval that is not above 0. A longer interval than the timer holds gets its longest period.
unsigned TimerInterval(const std::string& commandInterval);

// Sets g_SettingsFolder to the folder of the running executable ("." when it cannot be found).
void GetProgramFolder();
// g_SettingsFolder recomputed, then the path of "Pondra.ini" in it.
std::string SettingsFilePath();

// Reads "Pondra.ini" from the program's folder into the settings values, the device list (emptied
// first; always at least one scale afterwards) and `frame`. A missing or empty file is announced,
// created with the default settings and read. When the file cannot be read, or the default file
// cannot be created, the error is shown and the program goes on with the default settings.
void ReadSettingsFile(FrameSettings* frame, SettingsFileUi* ui);
// The same with the file at `path`.
void ReadSettingsFileAt(const std::string& path, FrameSettings* frame, SettingsFileUi* ui);

// Writes the settings values, the scales not deleted and `frame` to "Pondra.ini" in the program's
// folder. Returns true when the file was written; on failure the error has been shown, the old
// file is unchanged and the caller stops all scales.
bool WriteSettingsFile(const FrameSettings& frame, SettingsFileUi* ui);
// The same with the file at `path`.
bool WriteSettingsFileAt(const std::string& path, const FrameSettings& frame, SettingsFileUi* ui);

// Why a value would not read back from the settings file as it was written under `key`: a ";" ends
// a value, a line break or NUL is written as a blank, blanks at either end are not part of a value,
// and a line holds at most 255 characters.
enum class SettingsValueProblem { None, Semicolon, LineBreak, EdgeBlank, TooLong };
SettingsValueProblem CheckSettingsValue(std::string_view key, std::string_view value);
// The longest value that reads back whole under `key`.
std::size_t MaxSettingsValueLength(std::string_view key);

// The text of the file, lines ending in LF as held in memory.
std::string BuildSettingsText(const FrameSettings& frame);
std::string BuildDefaultSettingsText();
// Reads the settings from `text` (lines ending in LF or CR LF), as ReadSettingsFileAt does from a
// file: empties the device list, creates the first scale, applies every line, completes the macro
// list and derives g_ExcelByRows and the timer interval.
void ParseSettingsText(std::string_view text, FrameSettings* frame);
