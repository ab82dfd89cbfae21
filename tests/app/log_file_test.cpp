#include "app/core/log_file.h"
#include "support/fifo.h"
#include "support/file_conditions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteBytes(const fs::path& path, std::size_t size) {
    std::ofstream out(path, std::ios::binary);
    out << std::string(size, 'x');
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("pondra-log-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST(LogBackupName, ExtensionOfTheFileNameOnly) {
    struct Case {
        const char* path;
        int n;
        const char* backup;
    } cases[] = {
        {"/data/Data.log", 1, "/data/Data1.bak"},
        {"/data/log", 0, "/data/log0.bak"},
        {"/data/v1.2/log", 3, "/data/v1.2/log3.bak"},
        {"/data/.log", 0, "/data/.log0.bak"},
        {"Data.log", 999, "Data999.bak"},
        {"a.b.c", 2, "a.b2.bak"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LogBackupName(c.path, c.n), c.backup) << c.path;
}

TEST_F(LogFileTest, LinesEndInOneCrLfAndSurviveWithoutClose) {
    LogFile log;
    ASSERT_EQ(log.Open((dir / "Data.log").string()), "");
    EXPECT_TRUE(log.WriteReading("\t12.5\r\n").written);
    EXPECT_TRUE(log.WriteReading("a\nb\r").written);
    // Read while the file is still open: each reading is already on its way to disk.
    EXPECT_EQ(ReadAll(dir / "Data.log"), "\t12.5\r\na\r\nb\r");
}

TEST_F(LogFileTest, RotatesOnlyAboveTheThreshold) {
    const fs::path path = dir / "Data.log";
    WriteBytes(path, 60000);
    LogFile log;
    ASSERT_EQ(log.Open(path.string()), "");
    log.WriteReading("x\n");
    log.Close();
    EXPECT_EQ(fs::file_size(path), 60003u);
    EXPECT_FALSE(fs::exists(dir / "Data0.bak"));

    WriteBytes(path, 60001);
    WriteBytes(dir / "Data0.bak", 1);
    ASSERT_EQ(log.Open(path.string()), "");
    log.WriteReading("new\r\n");
    log.Close();
    EXPECT_EQ(fs::file_size(dir / "Data1.bak"), 60001u);
    EXPECT_EQ(fs::file_size(dir / "Data0.bak"), 1u);
    EXPECT_EQ(ReadAll(path), "new\r\n");
}

// A log reached through a symbolic link is begun anew where the link leads: the link stays.
TEST_F(LogFileTest, RotationThroughALinkKeepsTheLink) {
    const fs::path target = dir / "real.log";
    WriteBytes(target, 60001);
    fs::create_symlink("real.log", dir / "Data.log");
    LogFile log;
    ASSERT_EQ(log.Open((dir / "Data.log").string()), "");
    EXPECT_TRUE(log.WriteReading("new\n").written);
    log.Close();
    EXPECT_TRUE(fs::is_symlink(dir / "Data.log"));
    EXPECT_EQ(ReadAll(target).substr(0, 16), "new\r\n");
    EXPECT_EQ(fs::file_size(dir / "Data0.bak"), 60001u);
}

TEST_F(LogFileTest, AllBackupNamesTakenKeepsAppending) {
    const fs::path path = dir / "log";
    WriteBytes(path, 70000);
    for (int n = 0; n < kLogBackupCount; ++n)
        std::ofstream(dir / ("log" + std::to_string(n) + ".bak")) << n;
    LogFile log;
    ASSERT_EQ(log.Open(path.string()), "");
    log.WriteReading("y\n");
    log.Close();
    // The copy to the last backup name failed (it exists), so nothing was lost or overwritten.
    EXPECT_EQ(fs::file_size(path), 70003u);
    EXPECT_EQ(ReadAll(dir / "log999.bak"), "999");
}

// A place that cannot be written gives the message; one that is no file (nothing reads the pipe)
// also says what it is, at once.
TEST_F(LogFileTest, UnwritablePlacesGiveTheMessages) {
    LogFile log;
    EXPECT_EQ(log.Open((dir / "missing" / "Data.log").string()), "Cannot create log file");
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(log.WriteReading("lost?\n").written);

    fs::create_directories(dir / "adir");
    NamedPipe pipe((dir / "pipe.log").string());
    ASSERT_TRUE(pipe.Made());
    const struct {
        std::string path;
        const char* what;
    } cases[] = {{(dir / "adir").string(), "a folder"},
                 {(dir / "pipe.log").string(), "a named pipe"},
                 {"/dev/null", "a device"}};
    for (const auto& c : cases) {
        EXPECT_EQ(log.Open(c.path),
                  "Cannot open log file\n" + c.path + ": it is " + c.what + ", not a file.");
        EXPECT_FALSE(log.IsOpen());
    }
    EXPECT_FALSE(pipe.HadToBeFreed());
    EXPECT_FALSE(pipe.WasOpened());
}

// A full disk: a reading that does not fit leaves nothing of itself in the log and is held; held
// readings go in, in order, once there is room again. The hold is bounded, and what it cannot take
// or never gets written is named.
TEST_F(LogFileTest, AFullDiskTearsNoLineAndTheHeldReadingsFollowInOrder) {
    SmallDisk disk(dir / "disk");
    const fs::path path = disk.Folder() / "Data.log";
    // Room for 10 more bytes in the file's last block: a reading of 21 goes in only in part.
    const std::string before = std::string(4084, 'x') + "\r\n";
    std::ofstream(path, std::ios::binary) << before;
    const std::string r1 = "12/09/26 15:00 +1.0\n", r2 = "12/09/26 15:01 +2.0\n",
                      r3 = "12/09/26 15:02 +3.0\n";
    const auto crlf = [](std::string line) { return line.insert(line.size() - 1, "\r"); };
    const auto logged = [&] { // the file, its first lines shortened
        const std::string text = ReadAll(path);
        return text.starts_with(before) ? "<before>" + text.substr(before.size()) : text.substr(0, 80);
    };
    LogFile log;
    ASSERT_EQ(log.Open(path.string()), "");
    disk.Fill(before.size());

    LogWrite w = log.WriteReading(r1);
    EXPECT_TRUE(!w.written && w.held && w.unlogged == 1);
    EXPECT_EQ(logged(), "<before>") << "no part of the reading stays in the log";
    w = log.WriteReading(r2);
    EXPECT_EQ(LogWriteNote("L", w), "Data log L: 2 readings not logged (" + disk.Reason() +
                                        "); held until the log can be written again");

    disk.Free();
    w = log.WriteReading(r3);
    EXPECT_TRUE(w.written);
    EXPECT_EQ(LogWriteNote("L", w), "Data log L: written again; 2 readings held meanwhile now logged");
    EXPECT_EQ(logged(), "<before>" + crlf(r1) + crlf(r2) + crlf(r3));

    // A hold that is full loses the next reading and says so; at the close the held ones are named.
    disk.Fill(ReadAll(path).size());
    ASSERT_TRUE(log.WriteReading(std::string(8192 - ReadAll(path).size() - 2, 'p') + "\n").written);
    const std::string full = ReadAll(path); // up to the end of a block
    for (std::size_t n = 0; n < kMaxHeldLogReadings; ++n)
        ASSERT_TRUE(log.WriteReading(n == 0 ? r1 : r2).held);
    w = log.WriteReading(r3);
    EXPECT_FALSE(w.held);
    EXPECT_EQ(LogWriteNote("L", w), "Data log L: " + std::to_string(kMaxHeldLogReadings + 1) +
                                        " readings not logged (" + disk.Reason() +
                                        "); no more can be held, so the last reading is lost to the log");
    const LogUnwritten unwritten = log.Close();
    ASSERT_EQ(unwritten.readings.size(), kMaxHeldLogReadings);
    EXPECT_EQ(unwritten.readings[0], r1);
    EXPECT_EQ(LogCloseNote("L", {{r1, r2}, 0, unwritten.error}),
              "Data log L: cannot be written (" + disk.Reason() +
                  "); these 2 readings held are lost to the log:\r\n" + r1.substr(0, r1.size() - 1) + "\r\n" +
                  r2.substr(0, r2.size() - 1));
    EXPECT_TRUE(ReadAll(path) == full);
}

} // namespace
