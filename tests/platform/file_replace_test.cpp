#include "platform/file_replace.h"
#include "support/file_conditions.h"
#include "support/xlsx_fixture.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct stat Info(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info;
}

// A file with a second name is not parted from it; a file the user may not write is not replaced,
// even where the folder would let a new file take its place; the owner of a replaced file stays.
TEST(ReplaceFileContents, KeepsLinksOwnersAndFilesOfOthers) {
    TempDir dir;
    fs::permissions(dir.Path(), fs::perms::all); // others may make files in it (no sticky bit)
    const std::string path = dir.File("book.xlsx");

    WriteBytes(path, "old");
    fs::create_hard_link(path, dir.File("second-name.xlsx"));
    platform::ReplaceResult result = platform::ReplaceFileContents(path, "new");
    EXPECT_EQ(result.step, platform::ReplaceStep::Refused);
    EXPECT_EQ(result.Reason(), "it has 2 names (hard links), and a new file would part it from the others");
    EXPECT_TRUE(fs::equivalent(path, dir.File("second-name.xlsx")));
    EXPECT_EQ(ReadBytes(path), "old");
    fs::remove(dir.File("second-name.xlsx"));

    if (::geteuid() != 0)
        GTEST_SKIP() << "files of another user need root to be made";
    // Root's file, readable by all: "nobody" may make files in the folder but not write this one.
    fs::permissions(path, fs::perms(0644));
    const int refused = RunAsNobody([&] {
        const platform::ReplaceResult asNobody = platform::ReplaceFileContents(path, "new");
        return asNobody.step == platform::ReplaceStep::Refused && asNobody.Reason() == "Permission denied"
                   ? 0
                   : 1;
    });
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_EQ(Info(path).st_uid, 0u);

    // Root saving the file of "nobody": it stays theirs, with its permission bits.
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    fs::permissions(path, fs::perms(0640));
    ASSERT_TRUE(platform::ReplaceFileContents(path, "new").Ok());
    EXPECT_EQ(ReadBytes(path), "new");
    EXPECT_EQ(Info(path).st_uid, 65534u);
    EXPECT_EQ(Info(path).st_gid, 65534u);
    EXPECT_EQ(Info(path).st_mode & 07777, 0640u);
}

} // namespace
