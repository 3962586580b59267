#include "link/PosixSerialDriver.h"

#include <gtest/gtest.h>
#include <termios.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/link/PtyPair.h"
#include "tests/HangGuard.h"

namespace quorl {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Opens and configures index 0 the way the program's start-up does.
bool OpenAndConfigure(PosixSerialDriver& driver) {
    std::uint32_t count = 0;
    char serial[64];
    return driver.CountDevices(count) == kDriverOk && count == 1 &&
           driver.SerialNumberOf(0, serial) == kDriverOk && driver.Open(0) == kDriverOk &&
           driver.ClearRts() == kDriverOk && driver.SetBaudRate(57600) == kDriverOk &&
           driver.SetDataCharacteristics(8, 0, 0) == kDriverOk && driver.SetFlowControl(0, 0, 0) == kDriverOk &&
           driver.SetRts() == kDriverOk;
}

TEST(PosixSerialDriver, ConfiguresAPseudoTerminalAs57600RawEightNOne) {
    test::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    PosixSerialDriver driver(pty.SlavePath());
    EXPECT_EQ(driver.ListDevices(), std::vector<std::string>{pty.SlavePath()});
    char serial[64] = "junk";
    ASSERT_EQ(driver.SerialNumberOf(0, serial), kDriverOk);
    EXPECT_STREQ(serial, "");  // a pseudo-terminal has no USB serial number
    ASSERT_TRUE(OpenAndConfigure(driver));
    EXPECT_EQ(driver.OpenedPath(), pty.SlavePath());
    EXPECT_NE(driver.Open(0), kDriverOk);  // already open

    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    ::close(fd);
    EXPECT_EQ(cfgetispeed(&tio), B57600);
    EXPECT_EQ(cfgetospeed(&tio), B57600);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (CSTOPB | PARENB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);

    EXPECT_NE(driver.SetBaudRate(12345), kDriverOk);
    EXPECT_NE(driver.SetFlowControl(0x100, 0x11, 0x13), kDriverOk);
}

TEST(PosixSerialDriver, ReadsOnlyWhatIsQueuedAndWritesWholeFrames) {
    test::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    PosixSerialDriver driver(pty.SlavePath());
    ASSERT_TRUE(OpenAndConfigure(driver));

    std::uint32_t ready = 99;
    ASSERT_EQ(driver.GetStatus(ready), kDriverOk);
    EXPECT_EQ(ready, 0u);
    std::uint8_t buffer[64];
    std::uint32_t got = 99;
    // Nothing there and nothing coming: a read that waited would hang here.
    EXPECT_EQ(driver.Read(buffer, sizeof buffer, got), kDriverOk);
    EXPECT_EQ(got, 0u);

    // Bytes that include every control value and CR/LF pass unchanged.
    const Bytes sent = {0x11, 0x12, 0x0D, 0x0A, 0x13, 0x03, 0x1A, 0x7F, 0xFF, 0x11, 0x13};
    ASSERT_TRUE(pty.Send(sent));
    for (int i = 0; i < 200 && ready < sent.size(); ++i) {
        driver.GetStatus(ready);
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(ready, sent.size());
    ASSERT_EQ(driver.Read(buffer, 4, got), kDriverOk);
    EXPECT_EQ(got, 4u);
    ASSERT_EQ(driver.GetStatus(ready), kDriverOk);
    EXPECT_EQ(ready, sent.size() - 4);
    ASSERT_EQ(driver.Read(buffer + 4, sizeof buffer - 4, got), kDriverOk);
    EXPECT_EQ(Bytes(buffer, buffer + 4 + got), sent);

    Bytes frame(120, 0x42);
    frame.front() = 0x11;
    std::uint32_t written = 0;
    ASSERT_EQ(driver.Write(frame.data(), static_cast<std::uint32_t>(frame.size()), written), kDriverOk);
    EXPECT_EQ(written, frame.size());
    EXPECT_EQ(pty.Receive(frame.size(), test::kHangGuard), frame);

    driver.Close();
    driver.Close();
    EXPECT_NE(driver.GetStatus(ready), kDriverOk);
    EXPECT_NE(driver.Read(buffer, 1, got), kDriverOk);
    EXPECT_NE(driver.Write(frame.data(), 1, written), kDriverOk);
    EXPECT_EQ(written, 0u);
}

TEST(PosixSerialDriver, MissingDevicesFailQuietly) {
    PosixSerialDriver driver("/nonexistent/tty-quorl");
    std::uint32_t count = 0;
    EXPECT_EQ(driver.CountDevices(count), kDriverOk);
    EXPECT_NE(driver.Open(0), kDriverOk);
    EXPECT_NE(driver.Open(1), kDriverOk);
    EXPECT_NE(driver.SetBaudRate(57600), kDriverOk);
    EXPECT_NE(driver.SetRts(), kDriverOk);
    char serial[64];
    EXPECT_NE(driver.SerialNumberOf(3, serial), kDriverOk);
    EXPECT_EQ(UsbSerialNumber("/nonexistent/tty-quorl"), "");
}

TEST(PosixSerialDriver, UnitLinkOfTheUdevRuleComesFirstAndTheAdaptersStandBy) {
    namespace fs = std::filesystem;
    test::PtyPair unit, adapter;
    ASSERT_TRUE(unit.Ok() && adapter.Ok());
    // A machine whose by-id list holds the unit's port and one other adapter.
    const fs::path root = fs::temp_directory_path() / ("quorl-unit-test-" + std::to_string(::getpid()));
    fs::create_directories(root / "dev/serial/by-id");
    fs::create_directories(root / "sys");
    fs::create_directory(root / "not-a-port");
    fs::create_symlink(unit.SlavePath(), root / "dev/serial/by-id/usb-A-unit");
    fs::create_symlink(adapter.SlavePath(), root / "dev/serial/by-id/usb-B-other");
    const SystemRoots roots{(root / "dev").string(), (root / "sys").string()};
    const std::string link = (root / "quorl-unit").string(), other = (root / "dev/serial/by-id/usb-B-other").string();
    struct Case {
        const char* name;
        std::string target;  // what the link names; empty: no link
        std::vector<std::string> listed;
        std::string opened;
    };
    const Case cases[] = {
        {"the link opens", unit.SlavePath(), {link, other}, link},
        {"the link names something that cannot be opened", (root / "not-a-port").string(),
         {link, (root / "dev/serial/by-id/usb-A-unit").string(), other}, (root / "dev/serial/by-id/usb-A-unit").string()},
        {"no link", "", {(root / "dev/serial/by-id/usb-A-unit").string(), other},
         (root / "dev/serial/by-id/usb-A-unit").string()},
    };
    for (const Case& c : cases) {
        fs::remove(link);
        if (!c.target.empty()) fs::create_symlink(c.target, link);
        PosixSerialDriver driver({}, roots);
        driver.SetUnitLink(link);
        std::uint32_t count = 0;
        ASSERT_EQ(driver.CountDevices(count), kDriverOk);
        EXPECT_EQ(driver.ListDevices(), c.listed) << c.name;
        EXPECT_EQ(driver.Open(0), kDriverOk) << c.name;
        EXPECT_EQ(driver.OpenedPath(), c.opened) << c.name;
        driver.Close();
    }
    // A port given by name still wins, and has nothing to fall back on.
    PosixSerialDriver named((root / "not-a-port").string(), roots);
    named.SetUnitLink(link);
    EXPECT_EQ(named.ListDevices(), std::vector<std::string>{(root / "not-a-port").string()});
    EXPECT_NE(named.Open(0), kDriverOk);
    fs::remove_all(root);
}

}  // namespace
}  // namespace quorl
