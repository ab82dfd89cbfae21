#include "platform/serial_devices.h"

#include "platform/serial_port.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace platform {
namespace {

namespace fs = std::filesystem;

// Sorts "/dev/ttyUSB10" after "/dev/ttyUSB9".
bool NaturalLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        std::size_t digits = s.size();
        while (digits > 0 && s[digits - 1] >= '0' && s[digits - 1] <= '9')
            --digits;
        const std::string number = s.substr(digits, 9);
        return std::make_pair(s.substr(0, digits), number.empty() ? -1L : std::stol(number));
    };
    return split(a) < split(b);
}

// The entries of `folder` whose names start with `prefix`, followed by digits when `numbered`.
std::vector<std::string> Entries(const fs::path& folder, const std::string& prefix, bool numbered) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) != 0)
            continue;
        if (numbered && (name.size() == prefix.size() ||
                         name.find_first_not_of("0123456789", prefix.size()) != std::string::npos))
            continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

// A ttyS node exists for every port the driver could have; the UART type that /sys gives is 0
// (unknown) where no port was found.
bool HasUart(const std::string& root, const std::string& name) {
    std::ifstream type(root + "/sys/class/tty/" + name + "/type");
    int value = 0;
    return type >> value && value != 0;
}

// Whether a character device belongs to a terminal driver, by the drivers' device numbers in
// /proc/tty/drivers ("name  /dev/node  major  minor-range  type"). Without that list every character
// device counts as one.
bool IsTerminalDevice(dev_t device) {
    std::ifstream drivers("/proc/tty/drivers");
    if (!drivers)
        return true;
    std::string line;
    while (std::getline(drivers, line)) {
        std::istringstream fields(line);
        std::string name, node, minors;
        unsigned driverMajor = 0;
        if (!(fields >> name >> node >> driverMajor >> minors))
            continue;
        unsigned first = 0, last = 0;
        const std::size_t dash = minors.find('-');
        try {
            first = static_cast<unsigned>(std::stoul(minors.substr(0, dash)));
            last = dash == std::string::npos ? first
                                             : static_cast<unsigned>(std::stoul(minors.substr(dash + 1)));
        } catch (const std::exception&) {
            continue;
        }
        if (major(device) == driverMajor && minor(device) >= first && minor(device) <= last)
            return true;
    }
    return false;
}

// The path with its links followed, also a link whose device is unplugged just now.
fs::path Resolve(fs::path path) {
    std::error_code error;
    for (int hops = 0; hops < 40 && fs::is_symlink(path, error); ++hops) {
        const fs::path target = fs::read_symlink(path, error);
        if (error)
            break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    const fs::path real = fs::weakly_canonical(path, error);
    return error ? path.lexically_normal() : real;
}

} // namespace

std::vector<std::string> ListSerialDevices(const std::string& root) {
    std::vector<std::string> devices;
    const std::string dev = root + "/dev";
    for (const std::string& name : Entries(dev + "/serial/by-id", "", false))
        devices.push_back("/dev/serial/by-id/" + name);
    for (const std::string& name : Entries(dev, "serial", true))
        devices.push_back("/dev/" + name);
    for (const std::string& name : Entries(dev, "ttyS", true))
        if (HasUart(root, name))
            devices.push_back("/dev/" + name);
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyAMA", "rfcomm"})
        for (const std::string& name : Entries(dev, prefix, true))
            devices.push_back("/dev/" + name);
    return devices;
}

SerialDeviceState InspectSerialDevice(const std::string& portName) {
    struct stat info {};
    if (::stat(SerialDevicePath(portName).c_str(), &info) != 0)
        return SerialDeviceState::Missing;
    return S_ISCHR(info.st_mode) && IsTerminalDevice(info.st_rdev) ? SerialDeviceState::Terminal
                                                                   : SerialDeviceState::NotTerminal;
}

bool SameSerialDevice(const std::string& a, const std::string& b) {
    const fs::path pathA = SerialDevicePath(a), pathB = SerialDevicePath(b);
    if (pathA == pathB)
        return true;
    if (Resolve(pathA) == Resolve(pathB))
        return true;
    struct stat infoA {
    }, infoB{};
    return ::stat(pathA.c_str(), &infoA) == 0 && ::stat(pathB.c_str(), &infoB) == 0 &&
           S_ISCHR(infoA.st_mode) && S_ISCHR(infoB.st_mode) && infoA.st_rdev == infoB.st_rdev;
}

} // namespace platform
