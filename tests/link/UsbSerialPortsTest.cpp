// The order of the USB serial ports, on a fake /dev and /sys: the ports of
// the bridge chip's kernel driver first, whatever the other adapters are
// called, and the serial number found a few levels up.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/PosixSerialDriver.h"
#include "link/UnitAdapter.h"
#include "link/UsbSerialPorts.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

// A machine with a modem (cdc_acm), an adapter of another make (pl2303) and
// two of the bridge's ports (ftdi_sio), the others sorting first by name.
class FakeMachine {
public:
    FakeMachine() {
        std::string pattern = (fs::temp_directory_path() / "quorl-sysfs-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        roots_ = {(root_ / "dev").string(), (root_ / "sys").string()};
        fs::create_directories(root_ / "dev/serial/by-id");
        Port("ttyACM0", "cdc_acm", "1-1", "MODEM1", "usb-Acme_Modem_MODEM1-if00", false);
        Port("ttyUSB0", "pl2303", "1-2", "PL1", "usb-Acme_Serial_PL1-if00-port0", true);
        Port("ttyUSB1", "ftdi_sio", "1-3", "X123", "usb-FTDI_Survey_X123-if00-port0", true);
        Port("ttyUSB2", "ftdi_sio", "1-4", "X124", "usb-FTDI_Survey_X124-if00-port0", true);
    }
    ~FakeMachine() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    const SystemRoots& Roots() const { return roots_; }
    std::string Dev(const std::string& name) const { return (root_ / "dev" / name).string(); }

private:
    static void Write(const fs::path& file, const std::string& text) {
        std::ofstream(file) << text << "\n";
    }
    // A USB device `bus` with one interface bound to `driver`; a usb-serial
    // port below the interface for ttyUSB, the interface itself for ttyACM.
    void Port(const std::string& tty, const std::string& driver, const std::string& bus, const std::string& serial,
              const std::string& byId, bool usbSerial) {
        const fs::path sys = root_ / "sys";
        const fs::path usbDevice = sys / "devices/pci0000:00/usb1" / bus;
        const fs::path interface = usbDevice / (bus + ":1.0");
        fs::create_directories(interface);
        fs::create_directories(sys / "bus/usb/drivers" / driver);
        Write(usbDevice / "idVendor", "0403");
        Write(usbDevice / "serial", serial);
        Write(interface / "bInterfaceNumber", "00");
        fs::create_directory_symlink(sys / "bus/usb/drivers" / driver, interface / "driver");
        fs::path device = interface;
        if (usbSerial) {
            device = interface / tty;
            fs::create_directories(device);
            fs::create_directories(sys / "bus/usb-serial/drivers" / driver);
            fs::create_directory_symlink(sys / "bus/usb-serial/drivers" / driver, device / "driver");
        }
        fs::create_directories(sys / "class/tty" / tty);
        fs::create_directory_symlink(device, sys / "class/tty" / tty / "device");
        Write(root_ / "dev" / tty, "");
        fs::create_symlink("../../" + tty, root_ / "dev/serial/by-id" / byId);
    }

    fs::path root_;
    SystemRoots roots_;
};

TEST(UsbSerialPorts, TheBridgePortsComeFirst) {
    FakeMachine machine;
    const std::string byId = machine.Dev("serial/by-id/");
    EXPECT_EQ(ListUsbSerialPorts(machine.Roots()),
              (std::vector<std::string>{byId + "usb-FTDI_Survey_X123-if00-port0", byId + "usb-FTDI_Survey_X124-if00-port0",
                                        byId + "usb-Acme_Modem_MODEM1-if00", byId + "usb-Acme_Serial_PL1-if00-port0"}));
    EXPECT_EQ(UsbSerialNumber(byId + "usb-FTDI_Survey_X124-if00-port0", machine.Roots()), "X124");
    EXPECT_EQ(UsbSerialNumber(byId + "usb-Acme_Modem_MODEM1-if00", machine.Roots()), "MODEM1");

    // The driver's device 0 is the bridge, and its serial number is the bridge's.
    PosixSerialDriver driver({}, machine.Roots());
    std::uint32_t count = 0;
    ASSERT_EQ(driver.CountDevices(count), kDriverOk);
    EXPECT_EQ(count, 4u);
    char serial[64];
    ASSERT_EQ(driver.SerialNumberOf(0, serial), kDriverOk);
    EXPECT_STREQ(serial, "X123");

    // A link that leads nowhere is listed with the others, after the bridge.
    fs::create_symlink("../../ttyUSB9", machine.Dev("serial/by-id/usb-0000_Gone-if00-port0"));
    const auto withGone = ListUsbSerialPorts(machine.Roots());
    ASSERT_EQ(withGone.size(), 5u);
    EXPECT_EQ(withGone[2], byId + "usb-0000_Gone-if00-port0");
    // Without udev's links the tty nodes are listed, in the same order.
    fs::remove_all(machine.Dev("serial"));
    EXPECT_EQ(ListUsbSerialPorts(machine.Roots()),
              (std::vector<std::string>{machine.Dev("ttyUSB1"), machine.Dev("ttyUSB2"), machine.Dev("ttyACM0"),
                                        machine.Dev("ttyUSB0")}));
    // A named port stays the only device.
    EXPECT_EQ(PosixSerialDriver("/dev/pts/7", machine.Roots()).ListDevices(), std::vector<std::string>{"/dev/pts/7"});
}

TEST(UnitAdapter, AsksOnlyAmongSeveralBridgesWithoutALink) {
    FakeMachine machine;
    const std::string byId = machine.Dev("serial/by-id/");
    const std::string link = machine.Dev("quorl-unit");
    // Two of the bridge's ports and no link: those two, never the modem or the other make.
    EXPECT_EQ(AdapterChoices(link, machine.Roots()),
              (std::vector<std::string>{byId + "usb-FTDI_Survey_X123-if00-port0", byId + "usb-FTDI_Survey_X124-if00-port0"}));
    // A remembered unit: nothing to ask.
    fs::create_symlink("ttyUSB2", link);
    EXPECT_TRUE(AdapterChoices(link, machine.Roots()).empty());
    fs::remove(link);
    // One bridge left: it is the unit, as before.
    fs::remove(byId + "usb-FTDI_Survey_X124-if00-port0");
    EXPECT_TRUE(AdapterChoices(link, machine.Roots()).empty());
}

TEST(UnitAdapter, RuleNamesOneSerialNumberAndNothingElse) {
    const auto rule = UnitRule("A10K1234");
    ASSERT_TRUE(rule);
    EXPECT_NE(rule->find("ATTRS{serial}==\"A10K1234\""), std::string::npos);
    EXPECT_NE(rule->find("SYMLINK+=\"quorl-unit\""), std::string::npos);
    EXPECT_NE(rule->find("ATTRS{idVendor}==\"0403\""), std::string::npos);
    EXPECT_TRUE(UnitRule("FT-X_0.1:2"));
    // What could break out of the quotes or add to the rule is refused.
    const std::vector<std::string> bad = {"", "A\"B", "A B", "A,B", "A\nSYMLINK+=\"x\"", "A*", "Ä", std::string(65, 'A')};
    for (const std::string& serial : bad) EXPECT_FALSE(UnitRule(serial)) << serial;
}

}  // namespace
}  // namespace quorl
