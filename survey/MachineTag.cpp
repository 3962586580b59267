#include "survey/MachineTag.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <fstream>

namespace quorl::temporaries {

namespace {

std::string ReadBootId() {
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string id;
    if (!(in >> id) || id.size() < 16) return {};
    return id;
}

std::string Compute() {
    char host[HOST_NAME_MAX + 1] = {};
    if (::gethostname(host, sizeof host - 1) != 0) return {};
    const std::string boot = ReadBootId();
    struct stat ns {};
    if (boot.empty() || ::stat("/proc/self/ns/pid", &ns) != 0) return {};
    return TagOf(host, boot, static_cast<unsigned long long>(ns.st_ino));
}

}  // namespace

std::string TagOf(const std::string& host, const std::string& bootId, unsigned long long pidNamespace) {
    // FNV-1a: a name, not a secret; 64 bits make a chance match negligible.
    std::uint64_t h = 0xcbf29ce484222325ULL;
    const auto mix = [&](const std::string& text) {
        for (unsigned char c : text) h = (h ^ c) * 0x100000001b3ULL;
        h = (h ^ 0xff) * 0x100000001b3ULL;  // a separator no text holds
    };
    mix(host);
    mix(bootId);
    mix(std::to_string(pidNamespace));
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

const std::string& MachineTag() {
    static const std::string tag = Compute();
    return tag;
}

}  // namespace quorl::temporaries
