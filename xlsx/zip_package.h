// The zip container of a workbook: its parts read whole into memory, and a new container written
// from parts. Every size is checked against the container's directory before anything is
// unpacked, so that a small file that would unpack to gigabytes is refused at once.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace xlsx {

// All parts of a workbook together, unpacked, hold at most this many bytes: far more than any
// workbook of readings, and still quick to read and write.
constexpr std::uint64_t kMaxPackageBytes = 100'000'000;

struct PackagePart {
    std::string name; // as stored, e.g. "xl/worksheets/sheet1.xml"
    std::string data;
    bool directory = false;
};

// Thrown by ReadPackage when the parts would unpack to more than kMaxPackageBytes.
class PackageTooLarge : public std::runtime_error {
public:
    explicit PackageTooLarge(std::uint64_t bytes)
        : std::runtime_error("the package is too large"), m_bytes(bytes) {}
    std::uint64_t Bytes() const { return m_bytes; }

private:
    std::uint64_t m_bytes;
};

// Every part of the container, in its stored order. Throws PackageTooLarge, or std::runtime_error
// with the reason when the bytes are not a sound zip container.
std::vector<PackagePart> ReadPackage(const std::string& bytes);

// A zip container of the parts, in their order, each with the given data.
std::string WritePackage(const std::vector<std::pair<const PackagePart*, const std::string*>>& parts);

} // namespace xlsx
