// The file that a workbook fuzz target writes each input to: in a folder of the run's own, which
// goes when the run ends, and in memory where the system has a memory file system, because every
// save of a workbook syncs the file to disk.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

inline const std::string& FuzzWorkFile() {
    static const std::string path = [] {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                               ? "/dev/shm"
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "pondra-xlsx-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        static const std::string folder = pattern;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
        return pattern + "/book.xlsx";
    }();
    return path;
}
