#include "app/core/settings_file.h"

#include "comms/decimal_text.h"
#include "comms/device.h"
#include "comms/settings.h"
#include "platform/file_read.h"
#include "platform/file_replace.h"
#include "platform/program_path.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <variant>

namespace {

// A line holds at most this many characters, its line feed included; the rest of a longer line is
// read as a line of its own.
constexpr std::size_t kMaxLineLength = 255;

// The names of the file's keys, spelled once for reading and writing. The numbered keys are a
// prefix and a number ("Macro7", "Format01").
namespace keys {
constexpr char kDeviceName[] = "DeviceName";
constexpr char kDeviceActive[] = "DeviceActive";
constexpr char kDeviceGettable[] = "DeviceGettable";
constexpr char kCommPort[] = "CommPort";
constexpr char kBaudRate[] = "BaudRate";
constexpr char kDataBits[] = "DataBits";
constexpr char kStopBit[] = "StopBit";
constexpr char kParity[] = "Parity";
constexpr char kFlowControl[] = "FlowControl";
constexpr char kUseEthernet[] = "UseEthernet";
constexpr char kEthernetAddress[] = "EthernetAddress";
constexpr char kEthernetPort[] = "EthernetPort";
constexpr char kModel[] = "Model";
constexpr char kMode[] = "Mode";
constexpr char kCommandInterval[] = "CommandInterval";
constexpr char kOutMode[] = "OutMode";
constexpr char kLogFile[] = "LogFile";
constexpr char kDelay[] = "Delay";
constexpr char kExcelVisibility[] = "ExcelVisibility";
constexpr char kWeightConversion[] = "WeightConversion";
constexpr char kSign[] = "Sign";
constexpr char kCode[] = "Code";
constexpr char kStartUp[] = "StartUp";
constexpr char kExcel[] = "Excel";
constexpr char kSheet[] = "Sheet";
constexpr char kCell[] = "Cell";
constexpr char kDisplay[] = "Display";
constexpr char kMacro[] = "Macro"; // numbered
constexpr char kFormat[] = "Format"; // numbered
constexpr char kRounding[] = "Rounding"; // numbered
constexpr char kField[] = "Field"; // numbered
} // namespace keys

// ---------------------------------------------------------------------------------------------
// Reading

// What a line's value is stored into.
struct ReadTargets {
    Device* dev;
    FrameSettings* frame;
    std::string* sheetText;
};
using Target = std::variant<std::string*, int*>; // text as it stands, or a flag (1 only for "1")

struct KeyRow {
    const char* name;
    Target (*target)(const ReadTargets&);
};

// The keys matched by their full name, in the order they are tried. The scale keys fill the scale
// of the latest [Commode] section.
const KeyRow kKeyRows[] = {
    {keys::kDeviceName, [](const ReadTargets& t) -> Target { return &t.dev->m_name; }},
    {keys::kDeviceActive, [](const ReadTargets& t) -> Target { return &t.dev->m_active; }},
    {keys::kDeviceGettable, [](const ReadTargets& t) -> Target { return &t.dev->m_gettable; }},
    {keys::kCommPort, [](const ReadTargets& t) -> Target { return &t.dev->m_port; }},
    {keys::kBaudRate, [](const ReadTargets& t) -> Target { return &t.dev->m_baudRate; }},
    {keys::kDataBits, [](const ReadTargets& t) -> Target { return &t.dev->m_dataBits; }},
    {keys::kStopBit, [](const ReadTargets& t) -> Target { return &t.dev->m_stopBits; }},
    {keys::kParity, [](const ReadTargets& t) -> Target { return &t.dev->m_parity; }},
    {keys::kFlowControl, [](const ReadTargets& t) -> Target { return &t.dev->m_flowControl; }},
    {keys::kUseEthernet, [](const ReadTargets& t) -> Target { return &t.dev->m_useEthernet; }},
    {keys::kEthernetAddress, [](const ReadTargets& t) -> Target { return &t.dev->m_ipAddress; }},
    {keys::kEthernetPort, [](const ReadTargets& t) -> Target { return &t.dev->m_tcpPort; }},
    {keys::kModel, [](const ReadTargets&) -> Target { return &g_ModelName; }},
    {keys::kMode, [](const ReadTargets&) -> Target { return &g_RunMode; }},
    {keys::kCommandInterval, [](const ReadTargets&) -> Target { return &g_CommandInterval; }},
    {keys::kOutMode, [](const ReadTargets&) -> Target { return &g_OutMode; }},
    {keys::kLogFile, [](const ReadTargets& t) -> Target { return &t.frame->m_logFile; }},
    {keys::kDelay, [](const ReadTargets&) -> Target { return &g_Delay; }},
    {keys::kExcelVisibility, [](const ReadTargets&) -> Target { return &g_ExcelVisibility; }},
    {keys::kWeightConversion, [](const ReadTargets&) -> Target { return &g_WeightConversion; }},
    {keys::kSign, [](const ReadTargets&) -> Target { return &g_FieldEnabled[DF_SIGN]; }},
    {keys::kCode, [](const ReadTargets&) -> Target { return &g_HotKeyCode; }},
    {keys::kStartUp, [](const ReadTargets&) -> Target { return &g_StartUp; }},
    {keys::kExcel, [](const ReadTargets&) -> Target { return &g_ExcelFile; }},
    {keys::kSheet, [](const ReadTargets& t) -> Target { return t.sheetText; }},
    {keys::kCell, [](const ReadTargets&) -> Target { return &g_ExcelCell; }},
    {keys::kDisplay, [](const ReadTargets&) -> Target { return &g_ExcelDisplay; }},
};

// The lines of the file as a text-mode stream gives them to a reader with a 256-byte buffer: CR LF
// becomes LF, a line keeps its LF, and a line longer than 255 characters comes in pieces.
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    bool Next(std::string* line) {
        line->clear();
        while (m_pos < m_text.size() && line->size() < kMaxLineLength) {
            char c = m_text[m_pos++];
            if (c == '\r' && m_pos < m_text.size() && m_text[m_pos] == '\n')
                c = m_text[m_pos++];
            line->push_back(c);
            if (c == '\n')
                break;
        }
        if (line->empty())
            return false;
        // The line is a C string from here on: a NUL byte ends it.
        line->resize(line->find('\0') == std::string::npos ? line->size() : line->find('\0'));
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A value line split as a tokenising scan splits it: the key is the first run of characters that
// are not "=" (leading "=" skipped); the value is the next run of characters that are not ";"
// after the "=" that ended the key (leading ";" skipped), trimmed of white space at both ends.
struct SplitLine {
    bool hasKey = false;
    std::string_view key;
    std::string_view rest;

    explicit SplitLine(std::string_view line) {
        const std::size_t start = line.find_first_not_of('=');
        if (start == std::string_view::npos)
            return;
        hasKey = true;
        const std::size_t end = line.find('=', start);
        key = line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        rest = end == std::string_view::npos ? std::string_view{} : line.substr(end + 1);
    }

    std::string_view Value() const {
        const std::size_t start = rest.find_first_not_of(';');
        if (start == std::string_view::npos)
            return {};
        const std::size_t end = rest.find(';', start);
        return Trim(rest.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    }
};

// True and `n` set when `key` begins with `prefix`: n is the decimal value of the rest of the key.
bool ParseNumberedKey(std::string_view key, std::string_view prefix, int* n) {
    if (!key.starts_with(prefix))
        return false;
    *n = DecimalValue(key.substr(prefix.size()));
    return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

int FlagValue(std::string_view value) {
    return value == "1" ? 1 : 0;
}

int RoundingValue(std::string_view value) {
    const int rounding = DecimalValue(value);
    return rounding == kRoundUp || rounding == kRoundNearest ? rounding : kRoundDown;
}

struct ReadState {
    bool macro32Seen = false;
    bool macro33Seen = false;
};

void ApplyValueLine(const SplitLine& line, const ReadTargets& targets, ReadState* state) {
    if (!line.hasKey)
        return;
    const std::string_view key = line.key;
    for (const KeyRow& row : kKeyRows) {
        if (key != row.name)
            continue;
        const Target target = row.target(targets);
        if (auto* text = std::get_if<std::string*>(&target))
            (*text)->assign(line.Value());
        else
            *std::get<int*>(target) = FlagValue(line.Value());
        return;
    }
    if (key.starts_with("DF_") || key == g_DataFieldKeywords[DF_DATE_TIME]) {
        const int field = FindFieldByKeyword(std::string(key));
        if (field > 0)
            g_FieldEnabled[field] = FlagValue(line.Value());
        return;
    }
    int n = 0;
    if (ParseNumberedKey(key, keys::kMacro, &n)) {
        if (n >= 1 && n <= kEndOfLineMacro) {
            g_Macros[n] = line.Value();
            state->macro32Seen |= n == 32;
            state->macro33Seen |= n == kEndOfLineMacro;
        }
    } else if (ParseNumberedKey(key, keys::kFormat, &n)) {
        if (n >= 0 && n < kFieldCount && g_FieldHasFormat[n])
            g_FieldFormats[n].mask = line.Value();
    } else if (ParseNumberedKey(key, keys::kRounding, &n)) {
        if (n >= 0 && n < kFieldCount && g_FieldHasFormat[n])
            g_FieldFormats[n].rounding = RoundingValue(line.Value());
    } else if (ParseNumberedKey(key, keys::kField, &n)) {
        if (n >= 1 && n <= kOutputFieldCount)
            g_OutputFields[n - 1] = line.Value();
    }
}

// A file that ends its macro list early, as older files do, gets the end-of-line macro moved to the
// last slot: the last macro read stands at the end of the line.
void CompleteMacros(const ReadState& state) {
    if (!state.macro32Seen) {
        g_Macros[32] = g_Macros[30];
        g_Macros[30] = "9";
        g_Macros[31] = "9";
    }
    if (!state.macro33Seen) {
        g_Macros[kEndOfLineMacro] = g_Macros[32];
        g_Macros[32] = "9";
    }
}

// ---------------------------------------------------------------------------------------------
// Writing

// Everything the file holds apart from the scales.
struct FileValues {
    std::string model, runMode, commandInterval;
    std::string outMode, logFile, delay;
    int excelVisibility = 0;
    std::string weightConversion;
    std::array<int, kFieldCount> enabled{};
    std::array<std::string, kMacroCount> macros;
    std::array<FieldFormat, kFieldCount> formats;
    std::string hotKeyCode, startUp;
    std::string excelFile;
    int excelSheet = 0;
    std::string excelCell, excelDisplay;
    std::array<std::string, kOutputFieldCount> outputFields;
};

FileValues CurrentValues(const FrameSettings& frame) {
    return FileValues{.model = g_ModelName,
                      .runMode = g_RunMode,
                      .commandInterval = g_CommandInterval,
                      .outMode = g_OutMode,
                      .logFile = frame.m_logFile,
                      .delay = g_Delay,
                      .excelVisibility = g_ExcelVisibility,
                      .weightConversion = g_WeightConversion,
                      .enabled = g_FieldEnabled,
                      .macros = g_Macros,
                      .formats = g_FieldFormats,
                      .hotKeyCode = g_HotKeyCode,
                      .startUp = g_StartUp,
                      .excelFile = g_ExcelFile,
                      .excelSheet = g_ExcelSheet,
                      .excelCell = g_ExcelCell,
                      .excelDisplay = g_ExcelDisplay,
                      .outputFields = g_OutputFields};
}

// The values of a new settings file.
FileValues DefaultValues() {
    FileValues v;
    v.model = "TR-70";
    v.runMode = "Manual";
    v.commandInterval = "0";
    v.outMode = "Test";
    v.logFile = "Data.log";
    v.delay = "55";
    v.weightConversion = "0";
    for (int n : {DF_SIGN, DF_DATE_TIME, DF_ID_CODE, DF_NET_WEIGHT, DF_TARE_WEIGHT, DF_UNIT_WEIGHT})
        v.enabled[n] = 1;
    v.macros.fill("9");
    v.macros[0] = "0";
    v.macros[DF_DATE_TIME] = "0";
    v.macros[kEndOfLineMacro] = "10";
    for (int n = 0; n < kFieldCount; ++n)
        if (g_FieldHasFormat[n])
            v.formats[n] = FieldFormat{"010000.00", kRoundDown};
    v.hotKeyCode = "1601";
    v.startUp = "Norm";
    v.excelFile = "0";
    v.excelSheet = 2;
    v.excelCell = "B2";
    v.excelDisplay = "Col";
    return v;
}

class TextWriter {
public:
    // key=value; with a line end. A line break or NUL inside a value would cut the line and start
    // a line of its own on the next read, so each becomes a blank.
    void Put(std::string_view key, std::string_view value) {
        m_text += key;
        m_text += '=';
        for (char c : value)
            m_text += (c == '\n' || c == '\0') ? ' ' : c;
        m_text += ";\n";
    }
    void Put(std::string_view key, int value) { Put(key, std::to_string(value)); }
    void Raw(std::string_view text) { m_text += text; }
    std::string Take() { return std::move(m_text); }

private:
    std::string m_text;
};

void PutScale(TextWriter& w, const Device& dev) {
    w.Raw("[Commode]\n");
    w.Put(keys::kDeviceName, dev.m_name);
    w.Put(keys::kDeviceActive, dev.m_active);
    w.Put(keys::kDeviceGettable, dev.m_gettable);
    w.Put(keys::kCommPort, dev.m_port);
    w.Put(keys::kBaudRate, dev.m_baudRate);
    w.Put(keys::kDataBits, dev.m_dataBits);
    w.Put(keys::kStopBit, dev.m_stopBits);
    w.Put(keys::kParity, dev.m_parity);
    w.Put(keys::kFlowControl, dev.m_flowControl);
    w.Put(keys::kUseEthernet, dev.m_useEthernet);
    w.Put(keys::kEthernetAddress, dev.m_ipAddress);
    w.Put(keys::kEthernetPort, dev.m_tcpPort);
    w.Raw("\n");
}

std::string NumberedKey(const char* prefix, int n, bool twoDigits) {
    char key[32];
    std::snprintf(key, sizeof key, twoDigits ? "%s%02d" : "%s%d", prefix, n);
    return key;
}

// A saved file has an empty line after "Sign" and before "[HotKey]"; a new file has neither.
std::string BuildText(const std::vector<const Device*>& scales, const FileValues& v, bool newFile) {
    TextWriter w;
    for (const Device* dev : scales)
        PutScale(w, *dev);
    w.Raw("[Scale]\n");
    w.Put(keys::kModel, v.model);
    w.Put(keys::kMode, v.runMode);
    w.Put(keys::kCommandInterval, v.commandInterval);
    w.Raw("\n[Output]\n");
    w.Put(keys::kOutMode, v.outMode);
    w.Put(keys::kLogFile, v.logFile);
    w.Put(keys::kDelay, v.delay);
    w.Put(keys::kExcelVisibility, v.excelVisibility);
    w.Raw("\n[DataFormat]\n");
    w.Put(keys::kWeightConversion, v.weightConversion);
    w.Put(keys::kSign, v.enabled[DF_SIGN]);
    if (!newFile)
        w.Raw("\n");
    for (int n = 1; n <= DF_SCALE_NAME; ++n) {
        w.Put(NumberedKey(keys::kMacro, n, false), v.macros[n]);
        w.Put(g_DataFieldKeywords[n], v.enabled[n]);
    }
    w.Put(NumberedKey(keys::kMacro, kEndOfLineMacro, false), v.macros[kEndOfLineMacro]);
    for (int n = 0; n < kFieldCount; ++n) {
        if (!g_FieldHasFormat[n])
            continue;
        w.Put(NumberedKey(keys::kFormat, n, true), v.formats[n].mask);
        w.Put(NumberedKey(keys::kRounding, n, true), v.formats[n].rounding);
    }
    if (!newFile)
        w.Raw("\n");
    w.Raw("[HotKey]\n");
    w.Put(keys::kCode, v.hotKeyCode);
    w.Put(keys::kStartUp, v.startUp);
    w.Raw("\n[ExcelSetting]\n");
    w.Put(keys::kExcel, v.excelFile);
    w.Put(keys::kSheet, v.excelSheet);
    w.Put(keys::kCell, v.excelCell);
    w.Put(keys::kDisplay, v.excelDisplay);
    for (int n = 1; n <= kOutputFieldCount; ++n)
        w.Put(NumberedKey(keys::kField, n, false), v.outputFields[n - 1]);
    return w.Take();
}

std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Files

enum class LoadStatus { Read, Missing, Empty, Failed };

// The number of scales the text would make: one per line that begins with "[Commode]".
int CountScaleSections(std::string_view text) {
    int count = 0;
    LineReader reader(text);
    std::string line;
    while (reader.Next(&line))
        count += line.starts_with("[Commode]") ? 1 : 0;
    return count;
}

// Far more than any settings file holds; a larger file is not read.
constexpr std::size_t kMaxSettingsBytes = 16 << 20;

// Reads the whole file; on Failed `*reason` says why. Only a regular file is read, and opening it
// never waits: a named pipe would hold the start-up for ever.
LoadStatus LoadFile(const std::string& path, std::string* text, std::string* reason) {
    platform::FileReadResult read = platform::ReadRegularFile(path, kMaxSettingsBytes);
    if (!read.Ok()) {
        text->clear();
        *reason = read.Reason();
        return read.error == ENOENT ? LoadStatus::Missing : LoadStatus::Failed;
    }
    *text = std::move(read.bytes);
    if (CountScaleSections(*text) > kMaxScales) {
        text->clear();
        *reason = "it holds more than " + std::to_string(kMaxScales) + " scales, the most that Pondra keeps";
        return LoadStatus::Failed;
    }
    return text->empty() ? LoadStatus::Empty : LoadStatus::Read;
}

std::string SystemText(int error) {
    return std::generic_category().message(error);
}

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// The text of a failed save. The first line names the cause as the program always has; the rest
// says where and why, and that nothing was lost.
platform::MessageText SaveErrorText(const std::string& path, const platform::ReplaceResult& result) {
    std::string cause;
    if (result.step == platform::ReplaceStep::Create && result.error == ENOENT)
        cause = "File not found";
    else if (result.error == EIO)
        cause = "Hardware error";
    else
        cause = "Unknown file error";
    const char* what = result.step == platform::ReplaceStep::Create  ? "could not be created"
                       : result.step == platform::ReplaceStep::Write ? "could not be written"
                                                                     : "could not replace the old file";
    const platform::MessageText why = result.step == platform::ReplaceStep::Refused
                                          ? result.refusal
                                          : platform::MessageText(std::string("the new file ") + what + " (" +
                                                                  SystemText(result.error) + ")");
    return cause + "\nThe settings file " + platform::MessageText::Path(path) + " was not saved: " + why +
           ".\nThe previous settings file is unchanged.";
}

} // namespace

unsigned TimerInterval(const std::string& commandInterval) {
    // Computed in 64 bits: a hand-edited interval of 71583 minutes would wrap around in 32 and fire
    // every 12.7 s. No interval is negative, and none is longer than the timer can hold.
    const std::int64_t ms = std::int64_t{DecimalValue(commandInterval)} * 60000;
    return static_cast<unsigned>(std::clamp<std::int64_t>(ms, 0, kMaxTimerIntervalMs));
}

// ---------------------------------------------------------------------------------------------

void GetProgramFolder() {
    const std::string exe = platform::ExecutablePath();
    const std::string folder =
        exe.empty() ? std::string() : std::filesystem::path(exe).parent_path().string();
    g_SettingsFolder = folder.empty() ? "." : folder;
}

std::string SettingsFilePath() {
    GetProgramFolder();
    return (std::filesystem::path(g_SettingsFolder) / kSettingsFileName).string();
}

void ParseSettingsText(std::string_view text, FrameSettings* frame) {
    DestroyDeviceList();
    std::string sheetText;
    ReadTargets targets{CreateDevice(), frame, &sheetText};
    ReadState state;
    bool firstSection = true;

    LineReader reader(text);
    std::string line;
    while (reader.Next(&line)) {
        if (line.starts_with("[Commode]")) {
            // The first [Commode] section fills the scale created above; each further one adds a scale.
            if (!firstSection)
                targets.dev = CreateDevice();
            firstSection = false;
            continue;
        }
        if (line.empty())
            continue; // the line began with a NUL byte
        bool otherSection = false;
        for (const char* section : {"[Scale]", "[Output]", "[DataFormat]", "[HotKey]", "[ExcelSetting]"})
            otherSection |= line.starts_with(section);
        if (otherSection)
            continue;
        ApplyValueLine(SplitLine(line), targets, &state);
        g_ExcelSheet = DecimalValue(sheetText);
    }

    CompleteMacros(state);
    if (EqualsIgnoringCase(g_ExcelDisplay, "Row"))
        g_ExcelByRows = 1;
    frame->m_timerInterval = TimerInterval(g_CommandInterval);
}

std::size_t MaxSettingsValueLength(std::string_view key) {
    // "key=value" within one line of the reader; the ";" and the line end may fall into the next
    // piece, which names no key.
    return key.size() + 1 >= kMaxLineLength ? 0 : kMaxLineLength - key.size() - 1;
}

SettingsValueProblem CheckSettingsValue(std::string_view key, std::string_view value) {
    if (value.find(';') != std::string_view::npos)
        return SettingsValueProblem::Semicolon;
    if (value.find_first_of(std::string_view("\n\0", 2)) != std::string_view::npos)
        return SettingsValueProblem::LineBreak;
    if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back())))
        return SettingsValueProblem::EdgeBlank;
    if (value.size() > MaxSettingsValueLength(key))
        return SettingsValueProblem::TooLong;
    return SettingsValueProblem::None;
}

std::string BuildSettingsText(const FrameSettings& frame) {
    std::vector<const Device*> scales;
    for (const auto& dev : g_DeviceList)
        if (!dev->m_deleted)
            scales.push_back(dev.get());
    return BuildText(scales, CurrentValues(frame), false);
}

std::string BuildDefaultSettingsText() {
    Device scale; // index 0: "Scale01", active and selected for Get
    SetDefaultSettings(&scale);
    return BuildText({&scale}, DefaultValues(), true);
}

void ReadSettingsFile(FrameSettings* frame, SettingsFileUi* ui) {
    ReadSettingsFileAt(SettingsFilePath(), frame, ui);
}

void ReadSettingsFileAt(const std::string& path, FrameSettings* frame, SettingsFileUi* ui) {
    std::string text;
    std::string reason;
    switch (LoadFile(path, &text, &reason)) {
    case LoadStatus::Read:
        break;
    case LoadStatus::Missing:
    case LoadStatus::Empty: {
        ui->ShowSettingsNotice(kSettingsFileCreatedText);
        text = BuildDefaultSettingsText();
        const platform::ReplaceResult result = platform::ReplaceFileContents(path, WithCrLf(text));
        if (!result.Ok())
            ui->ShowSettingsError("The new settings file " + platform::MessageText::Path(path) +
                                  " could not be created (" + result.Reason() +
                                  ").\nPondra runs with the default settings; they are saved when the "
                                  "folder " +
                                  platform::MessageText::Path(FolderOf(path)) + " can be written.");
        break;
    }
    case LoadStatus::Failed:
        // The file is there but cannot be read: leave it alone, so that nothing in it is lost.
        ui->ShowSettingsError("The settings file " + platform::MessageText::Path(path) + " cannot be read (" +
                              reason +
                              ").\nPondra runs with the default settings. Saving the settings will "
                              "replace the file.");
        text = BuildDefaultSettingsText();
        break;
    }
    ParseSettingsText(text, frame);
}

bool WriteSettingsFile(const FrameSettings& frame, SettingsFileUi* ui) {
    return WriteSettingsFileAt(SettingsFilePath(), frame, ui);
}

bool WriteSettingsFileAt(const std::string& path, const FrameSettings& frame, SettingsFileUi* ui) {
    const platform::ReplaceResult result =
        platform::ReplaceFileContents(path, WithCrLf(BuildSettingsText(frame)));
    if (result.Ok())
        return true;
    ui->ShowSettingsError(SaveErrorText(path, result));
    return false;
}
