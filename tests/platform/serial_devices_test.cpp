#include "platform/serial_devices.h"
#include "support/sim_scale.h"
#include "support/xlsx_fixture.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using platform::SerialDeviceState;

// A machine of its own: device nodes are plain files here, only their names and links count.
TEST(SerialDevices, ListsEveryKindOfPortPresentInItsGroupAndNaturalOrder) {
    TempDir root;
    const fs::path dev = root.Path() + "/dev";
    fs::create_directories(dev / "serial/by-id");
    for (const char* name :
         {"ttyS0", "ttyS1", "ttyS2", "ttyS3", "ttyUSB10", "ttyUSB9", "ttyUSB0", "ttyACM0", "ttyAMA0",
          "rfcomm0", "tty0", "ttyprintk", "ttyUSBx", "ttysclp0", "ttyUSB", "null"})
        WriteBytes((dev / name).string(), "");
    fs::create_symlink("ttyAMA0", dev / "serial0");
    fs::create_symlink("../../ttyUSB0", dev / "serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    // ttyS0 and ttyS3 have a UART; ttyS1 has none (type 0); ttyS2 says nothing.
    for (const auto& [name, type] : {std::pair{"ttyS0", "4"}, {"ttyS1", "0"}, {"ttyS3", "4\n"}}) {
        fs::create_directories(root.Path() + "/sys/class/tty/" + name);
        WriteBytes(root.Path() + "/sys/class/tty/" + name + "/type", type);
    }

    EXPECT_EQ(
        platform::ListSerialDevices(root.Path()),
        (std::vector<std::string>{"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                                  "/dev/serial0", "/dev/ttyS0", "/dev/ttyS3", "/dev/ttyUSB0", "/dev/ttyUSB9",
                                  "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyAMA0", "/dev/rfcomm0"}));

    TempDir empty;
    EXPECT_TRUE(platform::ListSerialDevices(empty.Path()).empty());
}

TEST(SerialDevices, InspectsWithoutOpeningAndComparesDevicesNotNames) {
    sim::SimScale scale(sim::SimScale::Pty), other(sim::SimScale::Pty);
    TempDir dir;
    WriteBytes(dir.File("file"), "");
    const std::string link = dir.File("usb-Scale-if00-port0");
    fs::create_symlink(scale.PortPath(), link);
    fs::create_symlink(dir.File("gone"), dir.File("dangling"));

    const std::pair<std::string, SerialDeviceState> inspected[] = {
        {scale.PortPath(), SerialDeviceState::Terminal},
        {link, SerialDeviceState::Terminal},
        {"/dev/null", SerialDeviceState::NotTerminal},
        {dir.File("file"), SerialDeviceState::NotTerminal},
        {dir.Path(), SerialDeviceState::NotTerminal},
        {dir.File("dangling"), SerialDeviceState::Missing},
        {"/dev/pondra-no-such-port", SerialDeviceState::Missing},
    };
    for (const auto& [name, state] : inspected)
        EXPECT_EQ(platform::InspectSerialDevice(name), state) << name;

    struct Case {
        std::string a, b;
        bool same;
    };
    const Case cases[] = {
        {"COM1", "/dev/ttyS0", true},
        {"ttyS0", "/dev/ttyS0", true},
        {"COM1", "COM2", false},
        {link, scale.PortPath(), true}, // a stable link and the device it points at
        {scale.PortPath(), other.PortPath(), false},
        {dir.File("dangling"), dir.File("gone"), true}, // an unplugged adapter's link still names its device
        {dir.File("dangling"), scale.PortPath(), false},
        {"/dev/pondra-no-such-port", "/dev/pondra-no-such-port-2", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::SameSerialDevice(c.a, c.b), c.same) << c.a << " / " << c.b;
        EXPECT_EQ(platform::SameSerialDevice(c.b, c.a), c.same) << c.b << " / " << c.a;
    }
}

} // namespace
