#include "app/core/settings_file.h"

#include "comms/device.h"
#include "comms/settings.h"
#include "support/fifo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

class RecordingUi : public SettingsFileUi {
public:
    void ShowSettingsNotice(const platform::MessageText& text) override { notices.push_back(Note(text)); }
    void ShowSettingsError(const platform::MessageText& text) override { errors.push_back(Note(text)); }
    std::vector<std::string> notices;
    std::vector<std::string> errors;
    std::vector<std::string> paths; // that the messages name as paths, to be shown as file names

private:
    std::string Note(const platform::MessageText& text) {
        for (const platform::MessageText::Part& part : text.Parts())
            if (part.path)
                paths.push_back(part.bytes);
        return text.Bytes();
    }
};

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettingsValues();
        DestroyDeviceList();
        std::string pattern = (fs::temp_directory_path() / "pondra-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_path = (m_dir / "Pondra.ini").string();
    }
    void TearDown() override {
        DestroyDeviceList();
        fs::remove_all(m_dir);
    }

    void Read() { ReadSettingsFileAt(m_path, &m_frame, &m_ui); }
    void ReadText(const std::string& text) {
        WriteBytes(m_path, text);
        Read();
    }
    bool Write() { return WriteSettingsFileAt(m_path, m_frame, &m_ui); }
    // Everything in the folder but the settings file: a save must leave nothing behind.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir))
            if (entry.path().filename() != "Pondra.ini")
                names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path m_dir;
    std::string m_path;
    FrameSettings m_frame;
    RecordingUi m_ui;
};

void ExpectDefaultSettings(const FrameSettings& frame) {
    ASSERT_EQ(g_DeviceCount, 1);
    const Device& dev = *g_DeviceList[0];
    EXPECT_EQ(dev.m_name, "Scale01");
    EXPECT_EQ(dev.m_port, "COM1");
    EXPECT_EQ(dev.m_parity, "Even");
    EXPECT_EQ(dev.m_useEthernet, "0");
    EXPECT_EQ(dev.m_active, 1);
    EXPECT_EQ(dev.m_gettable, 1);
    EXPECT_EQ(g_ModelName, "TR-70");
    EXPECT_EQ(g_RunMode, "Manual");
    EXPECT_EQ(g_CommandInterval, "0");
    EXPECT_EQ(g_OutMode, "Test");
    EXPECT_EQ(g_Delay, "55");
    EXPECT_EQ(frame.m_logFile, "Data.log");
    EXPECT_EQ(frame.m_timerInterval, 0u);
    EXPECT_EQ(g_HotKeyCode, "1601");
    EXPECT_EQ(g_StartUp, "Norm");
    EXPECT_EQ(g_ExcelFile, "0");
    EXPECT_EQ(g_ExcelSheet, 2);
    EXPECT_EQ(g_ExcelCell, "B2");
    EXPECT_EQ(g_ExcelDisplay, "Col");
    EXPECT_EQ(g_ExcelByRows, 0);
    for (int n = 0; n < kFieldCount; ++n) {
        const bool on = n == 0 || n == 1 || n == 2 || n == 3 || n == 5 || n == 6;
        EXPECT_EQ(g_FieldEnabled[n], on ? 1 : 0) << "field " << n;
        EXPECT_EQ(g_FieldFormats[n].mask, g_FieldHasFormat[n] ? "010000.00" : "") << "field " << n;
        EXPECT_EQ(g_FieldFormats[n].rounding, 0) << "field " << n;
    }
    EXPECT_EQ(g_Macros[1], "0");
    for (int n = 2; n <= 32; ++n)
        EXPECT_EQ(g_Macros[n], "9") << "macro " << n;
    EXPECT_EQ(g_Macros[33], "10");
}

// A missing file and a file of size 0 both give the notice, a default file on disk that is byte
// for byte the expected one, and the default settings.
TEST_F(SettingsFileTest, MissingOrEmptyFileIsCreatedWithDefaults) {
    const std::string expected =
        ReadBytes(fs::path(__FILE__).parent_path() / "data" / "default_settings.ini");
    ASSERT_FALSE(expected.empty());
    for (bool emptyFile : {false, true}) {
        SCOPED_TRACE(emptyFile ? "empty file" : "missing file");
        fs::remove(m_path);
        if (emptyFile)
            WriteBytes(m_path, "");
        m_ui = {};
        ResetSettingsValues();
        Read();
        EXPECT_EQ(m_ui.notices, std::vector<std::string>{kSettingsFileCreatedText});
        EXPECT_TRUE(m_ui.errors.empty());
        EXPECT_EQ(ReadBytes(m_path), expected);
        EXPECT_TRUE(Leftovers().empty());
        ExpectDefaultSettings(m_frame);
    }
}

// A file holding only an empty line is not empty: nothing is read, the start values stay, and the
// macro completion moves the end-of-line macro.
TEST_F(SettingsFileTest, FileWithOneEmptyLineKeepsStartValues) {
    for (const char* text : {"\r\n", "\n"}) {
        ResetSettingsValues();
        ReadText(text);
        EXPECT_TRUE(m_ui.notices.empty());
        EXPECT_EQ(ReadBytes(m_path), text);
        ASSERT_EQ(g_DeviceCount, 1);
        EXPECT_EQ(g_DeviceList[0]->m_name, "Scale01");
        EXPECT_EQ(g_ModelName, "");
        EXPECT_EQ(g_ExcelSheet, 0);
        for (int n = 0; n < kFieldCount; ++n)
            EXPECT_EQ(g_FieldEnabled[n], 1);
        for (int n = 1; n <= 33; ++n)
            EXPECT_EQ(g_Macros[n], "9") << "macro " << n;
    }
}

struct LineCase {
    const char* name;
    std::string text;
    std::function<void(const FrameSettings&)> check;
};

TEST_F(SettingsFileTest, LinesAreReadAsTheFileFormatSays) {
    const std::string longValue(300, 'x');
    const std::vector<LineCase> cases = {
        {"empty value", "EthernetAddress=;\r\n", [](auto&) { EXPECT_EQ(g_DeviceList[0]->m_ipAddress, ""); }},
        {"no closing semicolon", "Model=TR-11\r\n", [](auto&) { EXPECT_EQ(g_ModelName, "TR-11"); }},
        {"blank before the key", " Model=TR-11;\r\n", [](auto&) { EXPECT_EQ(g_ModelName, ""); }},
        {"blank after the key", "Model =TR-11;\r\n", [](auto&) { EXPECT_EQ(g_ModelName, ""); }},
        {"blanks around the value", "Model=  TR 11 \t;\n", [](auto&) { EXPECT_EQ(g_ModelName, "TR 11"); }},
        {"value with =", "Excel=/data/a=b.xlsx;\r\n",
         [](auto&) { EXPECT_EQ(g_ExcelFile, "/data/a=b.xlsx"); }},
        {"semicolons before the value", "Delay=;;70;80\r\n", [](auto&) { EXPECT_EQ(g_Delay, "70"); }},
        {"leading = skipped", "==Model=TR-11;\r\n", [](auto&) { EXPECT_EQ(g_ModelName, "TR-11"); }},
        {"keys are case-sensitive", "model=TR-11;\r\n", [](auto&) { EXPECT_EQ(g_ModelName, ""); }},
        {"flag 2 reads as 0", "DeviceActive=2;\r\nDeviceGettable=1;\r\n",
         [](auto&) {
             EXPECT_EQ(g_DeviceList[0]->m_active, 0);
             EXPECT_EQ(g_DeviceList[0]->m_gettable, 1);
         }},
        {"flag with blank reads as 1", "ExcelVisibility= 1 ;\r\nSign=01;\r\n",
         [](auto&) {
             EXPECT_EQ(g_ExcelVisibility, 1);
             EXPECT_EQ(g_FieldEnabled[0], 0);
         }},
        {"field flags", "DateTime=0;\r\nDF_STATUS=0;\r\nDF_NOT_A_FIELD=0;\r\n",
         [](auto&) {
             EXPECT_EQ(g_FieldEnabled[DF_DATE_TIME], 0);
             EXPECT_EQ(g_FieldEnabled[DF_STATUS], 0);
             EXPECT_EQ(g_FieldEnabled[DF_NET_WEIGHT], 1);
         }},
        {"rounding", "Rounding03=7;\r\nRounding04=2;\r\nRounding05=-1;\r\nRounding06=1x;\r\n",
         [](auto&) {
             EXPECT_EQ(g_FieldFormats[3].rounding, 0);
             EXPECT_EQ(g_FieldFormats[4].rounding, 2);
             EXPECT_EQ(g_FieldFormats[5].rounding, 0);
             EXPECT_EQ(g_FieldFormats[6].rounding, 1);
         }},
        {"format only for formatted fields", "Format07=0.0;\r\nFormat3=0.00;\r\nFormat33=0.0;\r\n",
         [](auto&) {
             EXPECT_EQ(g_FieldFormats[7].mask, "");
             EXPECT_EQ(g_FieldFormats[3].mask, "0.00");
         }},
        {"numbered keys", "Macro07=65;\r\nMacro0=1;\r\nMacro34=1;\r\nField1=Net Weight;\r\nField33=x;\r\n",
         [](auto&) {
             EXPECT_EQ(g_Macros[7], "65");
             EXPECT_EQ(g_Macros[0], "0");
             EXPECT_EQ(g_OutputFields[0], "Net Weight");
         }},
        {"sheet: the last line counts", "Sheet=3;\r\nSheet=abc;\r\nSheet=-4x;\r\n",
         [](auto&) { EXPECT_EQ(g_ExcelSheet, -4); }},
        {"Display in lower case", "Display=row;\r\n",
         [](auto&) {
             EXPECT_EQ(g_ExcelDisplay, "row");
             EXPECT_EQ(g_ExcelByRows, 1);
         }},
        {"timer interval", "CommandInterval=3;\r\n", [](auto& f) { EXPECT_EQ(f.m_timerInterval, 180000u); }},
        // Edited by hand: about 50 days does not wrap around to 12.7 s, and no period is negative.
        {"timer interval beyond the timer", "CommandInterval=71583;\r\n",
         [](auto& f) { EXPECT_EQ(f.m_timerInterval, kMaxTimerIntervalMs); }},
        {"negative timer interval", "CommandInterval=-5;\r\n",
         [](auto& f) { EXPECT_EQ(f.m_timerInterval, 0u); }},
        {"keys before the first section go to the first scale",
         "DeviceName=Left;\r\n[Commode]\r\nCommPort=COM2;\r\n[Commode]\r\nDeviceName=Right;\r\n",
         [](auto&) {
             ASSERT_EQ(g_DeviceCount, 2);
             EXPECT_EQ(g_DeviceList[0]->m_name, "Left");
             EXPECT_EQ(g_DeviceList[0]->m_port, "COM2");
             EXPECT_EQ(g_DeviceList[1]->m_index, 1);
             EXPECT_EQ(g_DeviceList[1]->m_name, "Right");
             EXPECT_EQ(g_DeviceList[1]->m_port, "COM1");
         }},
        {"other sections are skipped, keys count anywhere",
         "[Scale]Model=X;\r\n[ExcelSetting]\r\nModel=Y;\r\n", [](auto&) { EXPECT_EQ(g_ModelName, "Y"); }},
        {"a 300-character line is read as two lines", "Model=" + longValue + ";\r\nDelay=7;\r\n",
         [](auto&) {
             EXPECT_EQ(g_ModelName, std::string(249, 'x'));
             EXPECT_EQ(g_Delay, "7");
         }},
        {"the remainder of a long line is a line of its own",
         "Cell=" + std::string(250, 'y') + "Delay=9;\r\n",
         [](auto&) {
             EXPECT_EQ(g_ExcelCell, std::string(250, 'y'));
             EXPECT_EQ(g_Delay, "9");
         }},
        {"macros ending at 31", "Macro30=65;\r\nMacro31=66;\r\n",
         [](auto&) {
             EXPECT_EQ(g_Macros[33], "65");
             EXPECT_EQ(g_Macros[30], "9");
             EXPECT_EQ(g_Macros[31], "9");
             EXPECT_EQ(g_Macros[32], "9");
         }},
        {"macro 32 without 33", "Macro32=66;\r\n",
         [](auto&) {
             EXPECT_EQ(g_Macros[33], "66");
             EXPECT_EQ(g_Macros[32], "9");
         }},
        {"a NUL byte ends the line", "Model=AB\0CD;\r\n\0Delay=5;\r\n"s,
         [](auto&) {
             EXPECT_EQ(g_ModelName, "AB");
             EXPECT_EQ(g_Delay, "");
         }},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResetSettingsValues();
        m_frame = {};
        ReadText(c.text);
        EXPECT_TRUE(m_ui.notices.empty());
        c.check(m_frame);
    }
}

// Every value the writer produces reads back the same; deleted scales are left out and the others
// numbered anew; a second save gives the same file.
TEST_F(SettingsFileTest, SavedSettingsReadBackUnchanged) {
    Device* first = CreateDevice();
    Device* gone = CreateDevice();
    Device* last = CreateDevice();
    first->m_name = "Line 1 scale";
    first->m_active = 0;
    gone->m_name = "Removed";
    gone->m_deleted = 1;
    last->m_useEthernet = "1";
    last->m_ipAddress = "127.0.0.1";
    last->m_tcpPort = "11001";
    last->m_gettable = 0;
    g_ModelName = "KT m25";
    g_RunMode = "Command";
    g_CommandInterval = "2";
    g_OutMode = "Excel";
    m_frame.m_logFile = "/var/log/scales/a=b log.log";
    g_Delay = "100";
    g_ExcelVisibility = 1;
    g_WeightConversion = "1";
    g_FieldEnabled.fill(0);
    g_FieldEnabled[DF_SIGN] = 1;
    g_FieldEnabled[DF_SCALE_NAME] = 1;
    for (int n = 1; n <= 33; ++n)
        g_Macros[n] = std::to_string(n * 100) + ",9";
    for (int n = 0; n < kFieldCount; ++n)
        g_FieldFormats[n] =
            g_FieldHasFormat[n] ? FieldFormat{"0.0" + std::to_string(n), n % 3} : FieldFormat{};
    g_HotKeyCode = "1602";
    g_StartUp = "Mini";
    g_ExcelFile = "/home/u/book one.xlsx";
    g_ExcelSheet = -3;
    g_ExcelCell = "AA10";
    g_ExcelDisplay = "row";
    for (int n = 0; n < kOutputFieldCount; ++n)
        g_OutputFields[n] = n < 3 ? g_FieldDisplayNames[n + 3] : n == 3 ? " <Blank>" : "-----";

    ASSERT_TRUE(Write());
    EXPECT_TRUE(m_ui.errors.empty());
    EXPECT_TRUE(Leftovers().empty());
    const std::string saved = ReadBytes(m_path);
    EXPECT_EQ(saved.find("Removed"), std::string::npos);
    for (std::size_t i = saved.find('\n'); i != std::string::npos; i = saved.find('\n', i + 1))
        ASSERT_EQ(saved[i - 1], '\r') << "line end at " << i;
    EXPECT_NE(saved.find("Sign=1;\r\n\r\nMacro1="), std::string::npos);
    EXPECT_NE(saved.find("Rounding17=2;\r\n\r\n[HotKey]"), std::string::npos);

    // Read into the start values, then save again: a value the reader lost would change the file.
    ResetSettingsValues();
    FrameSettings readBack;
    ReadSettingsFileAt(m_path, &readBack, &m_ui);
    EXPECT_TRUE(m_ui.notices.empty());
    ASSERT_EQ(g_DeviceCount, 2);
    EXPECT_EQ(g_DeviceList[1]->m_index, 1);
    EXPECT_EQ(g_DeviceList[1]->m_name, "Scale03");
    EXPECT_EQ(readBack.m_timerInterval, 120000u);
    EXPECT_EQ(g_ExcelByRows, 1);
    ASSERT_TRUE(WriteSettingsFileAt(m_path, readBack, &m_ui));
    // White space at both ends of a value is not part of it: the filler " <Blank>" reads back
    // without its blank, which the spreadsheet output skips all the same.
    std::string expected = saved;
    expected.replace(expected.find("Field4= <Blank>;"), 16, "Field4=<Blank>;");
    EXPECT_EQ(ReadBytes(m_path), expected);
}

// A line break in a value would start a line of its own on the next read: it is saved as a blank.
TEST_F(SettingsFileTest, LineBreakInValueCannotInjectKeys) {
    CreateDevice()->m_name = "Scale\nOutMode=Link";
    g_OutMode = "Test";
    ASSERT_TRUE(Write());
    ResetSettingsValues();
    Read();
    EXPECT_EQ(g_DeviceList[0]->m_name, "Scale OutMode=Link");
    EXPECT_EQ(g_OutMode, "Test");
}

// What the dialogs may store: every value the check passes reads back unchanged, every value it
// refuses would not. Paths keep the file system's bytes, UTF-8 or not.
TEST_F(SettingsFileTest, ValuesTheCheckPassesReadBackUnchanged) {
    using P = SettingsValueProblem;
    const std::size_t nameRoom = MaxSettingsValueLength("DeviceName");
    const std::size_t fileRoom = MaxSettingsValueLength("Excel");
    ASSERT_EQ(fileRoom, 249u);
    struct Case {
        std::string name, file;
        P nameProblem, fileProblem;
    };
    const Case cases[] = {
        {"W\xE4"
         "ge 1",
         "/home/u/W\xC3\xA4gung \xC5\x81\xC3\xB3"
         "d\xC5\xBA.xlsx",
         P::None, P::None},
        {"a=b", "/data/W\xE4gung.xlsx", P::None, P::None}, // an ISO-8859-1 file name
        {"", "/" + std::string(fileRoom - 1, 'x'), P::None, P::None},
        {std::string(nameRoom, 'n'), "/" + std::string(fileRoom, 'x'), P::None, P::TooLong},
        {std::string(nameRoom + 1, 'n'), "/a;b.xlsx", P::TooLong, P::Semicolon},
        {"Mixer ", " /a.xlsx", P::EdgeBlank, P::EdgeBlank},
        {"\tMixer", "/a.xlsx\r", P::EdgeBlank, P::EdgeBlank},
        {"Line\nbreak", std::string("/a\0b", 4), P::LineBreak, P::LineBreak},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckSettingsValue("DeviceName", c.name), c.nameProblem) << c.name;
        EXPECT_EQ(CheckSettingsValue("Excel", c.file), c.fileProblem) << c.file;
        ResetSettingsValues();
        DestroyDeviceList();
        CreateDevice()->m_name = c.name;
        g_ExcelFile = c.file;
        ASSERT_TRUE(Write());
        ResetSettingsValues();
        Read();
        EXPECT_EQ(g_DeviceList[0]->m_name == c.name, c.nameProblem == P::None) << c.name;
        EXPECT_EQ(g_ExcelFile == c.file, c.fileProblem == P::None) << c.file;
    }
}

struct SaveFailure {
    const char* name;
    std::function<void(const fs::path& dir, std::string* path)> arrange; // makes the save fail
    const char* firstLine;
    const char* reason = ""; // a part of the error's text that says why
};

TEST_F(SettingsFileTest, FailedSaveIsReportedAndKeepsTheOldFile) {
    const std::string old = "Model=Old;\r\n";
    struct rlimit limit {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const std::vector<SaveFailure> failures = {
        {"folder gone",
         [](const fs::path& dir, std::string* path) { *path = (dir / "gone" / "Pondra.ini").string(); },
         "File not found"},
        {"settings path is a folder",
         [](const fs::path&, std::string* path) {
             fs::remove(*path);
             fs::create_directories(fs::path(*path) / "keep");
         },
         "Unknown file error"},
        {"disk full",
         [](const fs::path&, std::string*) {
             // A file size limit makes the write fail as a full disk does.
             signal(SIGXFSZ, SIG_IGN);
             struct rlimit small {};
             getrlimit(RLIMIT_FSIZE, &small);
             small.rlim_cur = 64;
             setrlimit(RLIMIT_FSIZE, &small);
         },
         "Unknown file error"},
        // A link to a device (a pipe where the tests may not make a device): the device stays.
        {"link to a device",
         [](const fs::path& dir, std::string* path) {
             fs::remove(*path);
             const std::string device = (dir / "device").string();
             if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
                 mkfifo(device.c_str(), 0666);
             fs::create_symlink(device, *path);
         },
         "Unknown file error", ", not a file."},
        {"read-only file",
         [](const fs::path&, std::string* path) { fs::permissions(*path, fs::perms(0444)); },
         "Unknown file error", ": it is read-only (r--r--r--)."},
    };
    CreateDevice();
    for (const SaveFailure& f : failures) {
        SCOPED_TRACE(f.name);
        m_path = (m_dir / "Pondra.ini").string();
        fs::remove_all(m_path);
        WriteBytes(m_path, old);
        f.arrange(m_dir, &m_path);
        const fs::file_type type = fs::status(m_path).type();
        m_ui = {};
        const bool saved = Write();
        setrlimit(RLIMIT_FSIZE, &limit);
        EXPECT_FALSE(saved);
        ASSERT_EQ(m_ui.errors.size(), 1u);
        EXPECT_EQ(FirstLine(m_ui.errors[0]), f.firstLine);
        EXPECT_NE(m_ui.errors[0].find(m_path), std::string::npos) << m_ui.errors[0];
        EXPECT_NE(m_ui.errors[0].find(f.reason), std::string::npos) << m_ui.errors[0];
        EXPECT_EQ(fs::status(m_path).type(), type);
        if (fs::is_regular_file(m_path)) {
            EXPECT_EQ(ReadBytes(m_path), old);
        } else if (fs::is_directory(m_path)) {
            EXPECT_TRUE(fs::is_directory(fs::path(m_path) / "keep"));
        }
        m_path = (m_dir / "Pondra.ini").string();
        fs::remove(m_dir / "device");
        EXPECT_TRUE(Leftovers().empty());
    }
}

// A file that cannot be read is left alone and the program runs with the defaults; so it does when
// the default file cannot be created.
TEST_F(SettingsFileTest, UnreadableOrUncreatableFileGivesDefaultsAndAnError) {
    fs::create_directories(fs::path(m_path) / "keep");
    Read();
    EXPECT_TRUE(m_ui.notices.empty());
    ASSERT_EQ(m_ui.errors.size(), 1u);
    EXPECT_NE(m_ui.errors[0].find("cannot be read"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(fs::path(m_path) / "keep"));
    ExpectDefaultSettings(m_frame);

    // A named pipe that nothing writes is not waited on, nor even opened (a device would be).
    m_ui = {};
    ResetSettingsValues();
    m_path = (m_dir / "pipe.ini").string();
    {
        NamedPipe pipe(m_path);
        ASSERT_TRUE(pipe.Made());
        Read();
        EXPECT_FALSE(pipe.HadToBeFreed());
        EXPECT_FALSE(pipe.WasOpened());
    }
    ASSERT_EQ(m_ui.errors.size(), 1u);
    EXPECT_NE(m_ui.errors[0].find(" cannot be read (it is not a regular file)."), std::string::npos)
        << m_ui.errors[0];
    EXPECT_EQ(m_ui.paths, std::vector<std::string>{m_path});
    ExpectDefaultSettings(m_frame);

    m_ui = {};
    ResetSettingsValues();
    m_path = (m_dir / "gone" / "Pondra.ini").string();
    Read();
    EXPECT_EQ(m_ui.notices, std::vector<std::string>{kSettingsFileCreatedText});
    ASSERT_EQ(m_ui.errors.size(), 1u);
    EXPECT_NE(m_ui.errors[0].find("could not be created"), std::string::npos);
    EXPECT_EQ(m_ui.paths, (std::vector<std::string>{m_path, (m_dir / "gone").string()}));
    ExpectDefaultSettings(m_frame);

    // A file that would make more scales than the program keeps is not read.
    m_path = (m_dir / "many.ini").string();
    for (const int sections : {kMaxScales, kMaxScales + 1}) {
        m_ui = {};
        ResetSettingsValues();
        std::string text;
        for (int i = 0; i < sections; ++i)
            text += "[Commode]\r\n";
        WriteBytes(m_path, text + "Model=TR-24;\r\n");
        Read();
        if (sections == kMaxScales) {
            EXPECT_TRUE(m_ui.errors.empty());
            EXPECT_EQ(g_DeviceCount, kMaxScales);
            continue;
        }
        ASSERT_EQ(m_ui.errors.size(), 1u);
        EXPECT_NE(m_ui.errors[0].find(" cannot be read (it holds more than 3899 scales, the most that Pondra "
                                      "keeps)."),
                  std::string::npos)
            << m_ui.errors[0];
        ExpectDefaultSettings(m_frame);
    }
}

// A link to a file, or to a file still to be made, stays a link; the file keeps its mode.
TEST_F(SettingsFileTest, SaveThroughSymbolicLinkKeepsTheLink) {
    const fs::path target = m_dir / "real.ini";
    WriteBytes(target, "Model=Old;\r\n");
    fs::permissions(target, fs::perms(0600));
    fs::create_symlink("real.ini", m_path);
    CreateDevice();
    g_ModelName = "TR-24";
    ASSERT_TRUE(Write());
    EXPECT_TRUE(fs::is_symlink(m_path));
    EXPECT_NE(ReadBytes(target).find("Model=TR-24;\r\n"), std::string::npos);
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0600));

    fs::remove(target);
    ASSERT_TRUE(Write());
    EXPECT_TRUE(fs::is_symlink(m_path));
    EXPECT_NE(ReadBytes(target).find("Model=TR-24;\r\n"), std::string::npos);
}

TEST(SettingsFileLocation, FileLivesBesideTheProgram) {
    const fs::path path = SettingsFilePath();
    EXPECT_EQ(path.filename(), "Pondra.ini");
    EXPECT_EQ(path.parent_path().string(), g_SettingsFolder);
    EXPECT_TRUE(fs::exists(path.parent_path() / "app_tests"));
}

} // namespace
