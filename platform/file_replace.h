// Replacing the whole content of a file so that a failure at any step leaves the old file as it
// was. Isolated here because doing that safely takes POSIX calls (exclusive create, fsync of the
// file and of its folder, rename) that no other code should need.
#pragma once

#include "platform/message_text.h"

#include <string>
#include <string_view>

namespace platform {

enum class ReplaceStep {
    None,    // success
    Refused, // the file is not one to replace (see WhyNotReplaceable); nothing was written
    Create,  // the new file could not be created beside the old one
    Write,   // writing, flushing or closing the new file failed (full disk, I/O error)
    Rename,  // the new file could not take the old one's place
};

struct ReplaceResult {
    ReplaceStep step = ReplaceStep::None;
    int error = 0;       // errno of the failed step
    MessageText refusal; // why the file was not replaced, when Refused
    bool Ok() const { return step == ReplaceStep::None; }
    // The refusal or the system's text for the error.
    MessageText Reason() const;
};

// The file that writing to `path` reaches: the end of its chain of symbolic links, which need not
// exist yet.
std::string ResolveLinks(const std::string& path);

// Nothing when a save may put a new file in the place of the file at `path` (followed through symbolic
// links), else why not, fit to follow "path: ". A missing file may be created. Never replaced:
// what is not a regular file; a file that no one may write (no write permission at all, which
// holds for root too); a file the user may not write (its mode, a read-only mount); a file with
// further names (hard links), which a new file would part from it. With `folderToo`, the folder
// must also take a new file, as every save needs; for a check before any work begins.
MessageText WhyNotReplaceable(const std::string& path, bool folderToo = false);

// Writes `content` to a new file in the folder of `path`, flushes it to the disk and renames it
// over `path` (over the target when `path` is a symbolic link, which stays a link). Refused, with
// nothing written, when WhyNotReplaceable says so. On failure the new file is removed and `path` is
// untouched. An existing file's owner (where the system allows) and permission bits are kept; a new
// file gets 0666 less the umask.
ReplaceResult ReplaceFileContents(const std::string& path, std::string_view content);

} // namespace platform
