// Replacing the whole content of a file so that a failure at any step leaves the old file as it
// was. Isolated here because doing that safely takes POSIX calls (exclusive create, fsync of the
// file and of its folder, rename) that no other code should need.
#pragma once

#include <string>
#include <string_view>

namespace platform {

enum class ReplaceStep {
    None,   // success
    Create, // the new file could not be created beside the old one
    Write,  // writing, flushing or closing the new file failed (full disk, I/O error)
    Rename, // the new file could not take the old one's place
};

struct ReplaceResult {
    ReplaceStep step = ReplaceStep::None;
    int error = 0; // errno of the failed step
    bool Ok() const { return step == ReplaceStep::None; }
};

// Writes `content` to a new file in the folder of `path`, flushes it to the disk and renames it
// over `path` (over the target when `path` is a symbolic link). On failure the new file is removed
// and `path` is untouched. An existing file's permission bits are kept; a new file gets 0666 less
// the umask.
ReplaceResult ReplaceFileContents(const std::string& path, std::string_view content);

} // namespace platform
