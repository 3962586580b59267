// quorl unit list | remember PORT | forget: which USB serial adapter is the
// survey unit. `remember` writes a udev rule that names the unit's bridge
// /dev/quorl-unit by its serial number, so a GPS puck or console cable with
// the same bridge chip no longer takes the link.

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/UserMessages.h"
#include "link/PosixSerialDriver.h"
#include "link/UnitAdapter.h"
#include "link/UsbSerialPorts.h"
#include "survey/PendingFile.h"
#include "tools/CommandRegistry.h"

namespace quorl::tools {

namespace {

namespace fs = std::filesystem;

struct UnitArgs {
    std::string port, serial, rules = kUnitRulesPath, link = PosixSerialDriver::kUnitLink;
    SystemRoots roots;
};

int Fail(const std::string& text) {
    std::fprintf(stderr, "quorl unit: %s\n", text.c_str());
    return 1;
}

int List(const UnitArgs& a) {
    std::error_code ec;
    const fs::path unit = fs::canonical(a.link, ec);
    const std::vector<std::string> ports = ListUsbSerialPorts(a.roots);
    if (ports.empty()) std::printf("no USB serial adapter attached\n");
    for (const std::string& port : ports) {
        std::error_code portError;
        const bool isUnit = !ec && fs::canonical(port, portError) == unit && !portError;
        const std::string serial = UsbSerialNumber(port, a.roots);
        const std::string mark = isUnit ? "  <- the unit (" + a.link + ")" : "";
        std::printf("%s  serial %s  %s%s\n", port.c_str(), serial.empty() ? "(none)" : serial.c_str(),
                    DrivenByBridgeDriver(port, a.roots) ? "bridge chip" : "other adapter", mark.c_str());
    }
    if (ec) std::printf("no unit remembered (%s is not there): 'quorl unit remember PORT' names one\n", a.link.c_str());
    return 0;
}

int Remember(const Command& command, const UnitArgs& a) {
    if (a.port.empty() == a.serial.empty()) return command.UsageError("give the unit's PORT or --serial, one of them");
    std::string serial = a.serial;
    if (!a.port.empty()) {
        serial = UsbSerialNumber(a.port, a.roots);
        if (serial.empty())
            return Fail(a.port + " has no USB serial number (is it a USB serial adapter? 'quorl unit list' shows them)");
    }
    const auto rule = UnitRule(serial);
    if (!rule) return Fail("the serial number '" + serial + "' cannot stand in a udev rule");
    if (const int why = WriteWholeFile(a.rules, rule->data(), rule->size(), {})) {
        std::string text = "cannot write " + a.rules + ": " + SystemErrorText(why);
        if (why == EACCES || why == EPERM) text += " (udev rules belong to root: run it with sudo)";
        return Fail(text);
    }
    std::printf("remembered the unit with bridge serial number %s in %s\n", serial.c_str(), a.rules.c_str());
    std::printf("to apply it now: udevadm control --reload-rules && udevadm trigger --subsystem-match=tty "
                "--action=add\n");
    return 0;
}

int Forget(const UnitArgs& a) {
    if (::unlink(a.rules.c_str()) != 0) {
        if (errno == ENOENT) {
            std::printf("no unit remembered in %s\n", a.rules.c_str());
            return 0;
        }
        return Fail("cannot remove " + a.rules + ": " + SystemErrorText(errno));
    }
    std::printf("forgot the unit: %s removed; /dev/quorl-unit goes at the next udev reload\n", a.rules.c_str());
    return 0;
}

void Define(Command& c) {
    auto a = std::make_shared<UnitArgs>();
    auto roots = [a](Command& sub) {
        sub.Option("--dev", a->roots.dev, "DIR", "the /dev to look in (for tests)");
        sub.Option("--sys", a->roots.sys, "DIR", "the /sys to look in (for tests)");
    };
    Command& list = c.Sub("list", "the USB serial adapters, their serial numbers and which is the unit",
                          "usage: quorl unit list\n");
    roots(list);
    list.Option("--link", a->link, "PATH", "the unit's link (/dev/quorl-unit)");
    list.Does([a] { return List(*a); });
    Command& remember = c.Sub("remember", "name this adapter's bridge /dev/quorl-unit from now on (a udev rule)",
                              "usage: quorl unit remember PORT | --serial SERIAL [--rules FILE]\n");
    remember.Positional("PORT", a->port, "the unit's serial port, as /dev/ttyUSB0 or /dev/serial/by-id/...");
    remember.Option("--serial", a->serial, "SERIAL", "the bridge's USB serial number instead of a port");
    remember.Option("--rules", a->rules, "FILE", std::string("the rule file to write (") + kUnitRulesPath + ")");
    roots(remember);
    remember.Does([&remember, a] { return Remember(remember, *a); });
    Command& forget = c.Sub("forget", "remove the remembered unit's rule", "usage: quorl unit forget [--rules FILE]\n");
    forget.Option("--rules", a->rules, "FILE", std::string("the rule file to remove (") + kUnitRulesPath + ")");
    forget.Does([a] { return Forget(*a); });
}

const RegisterCommand kRegistration("unit", "which USB serial adapter is the survey unit: list, remember, forget",
                                    "usage: quorl unit list | remember PORT | forget\n", Define);

}  // namespace

}  // namespace quorl::tools
