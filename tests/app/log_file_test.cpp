#include "app/core/log_file.h"
#include "support/fifo.h"

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
    EXPECT_TRUE(log.WriteReading("\t12.5\r\n"));
    EXPECT_TRUE(log.WriteReading("a\nb\r"));
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
    EXPECT_FALSE(log.WriteReading("lost?\n"));

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

} // namespace
