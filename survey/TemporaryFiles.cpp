#include "survey/TemporaryFiles.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>

#include "survey/MachineTag.h"

namespace quorl::temporaries {

namespace {

constexpr const char* kMarker = ".quorl-tmp.";
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The handler may only read memory that is already filled in: a slot's path
// is written while the slot is Filling and only read once it is Armed.
enum SlotState : int { Free, Filling, Armed };
constexpr int kSlots = 64;
std::array<std::atomic<int>, kSlots> g_state{};
char g_paths[kSlots][PATH_MAX];
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free slots");

void OnSignal(int signalNumber) {
    for (int i = 0; i < kSlots; ++i)
        if (g_state[i].load() == Armed) ::unlink(g_paths[i]);
    // Then die of the signal as if nobody had caught it.
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    ::sigemptyset(&plain.sa_mask);
    ::sigaction(signalNumber, &plain, nullptr);
    ::raise(signalNumber);
}

void InstallHandlers() {
    for (int s : kSignals) {
        struct sigaction current {};
        if (::sigaction(s, nullptr, &current) != 0) continue;
        // A signal ignored (nohup) or handled by someone else is left to them.
        if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
        struct sigaction ours {};
        ours.sa_handler = OnSignal;
        ::sigfillset(&ours.sa_mask);
        ::sigaction(s, &ours, nullptr);
    }
}

// Side files SQLite puts beside a database made under a temporary name.
constexpr const char* kSuffixes[] = {"-journal", "-wal", "-shm"};

long PidMax() {
    std::ifstream in("/proc/sys/kernel/pid_max");
    long most = 0;
    return (in >> most) && most > 0 ? most : 4194304;  // the kernel's ceiling
}

bool AllOf(const std::string& text, const char* allowed) {
    return !text.empty() && text.find_first_not_of(allowed) == std::string::npos;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string NameFor(const std::string& finalPath) {
    const auto slash = finalPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : finalPath.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? finalPath : finalPath.substr(slash + 1);
    const std::string& tag = MachineTag();
    return folder + "." + name + kMarker + (tag.empty() ? std::string("unknown") : tag) + "." +
           std::to_string(::getpid());
}

int Register(const std::string& path) {
    // Each time, not once: a child or a caller may have reset a signal since.
    InstallHandlers();
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = Free;
        if (!g_state[i].compare_exchange_strong(expected, Filling)) continue;
        std::memcpy(g_paths[i], path.c_str(), path.size() + 1);
        g_state[i].store(Armed);
        return i;
    }
    return -1;
}

void Forget(int slot) {
    if (slot >= 0 && slot < kSlots) g_state[slot].store(Free);
}

TemporaryName ParseName(const std::string& fileName) {
    const auto at = fileName.rfind(kMarker);
    if (fileName.empty() || fileName[0] != '.' || at == std::string::npos || at < 2) return {};
    std::string rest = fileName.substr(at + std::strlen(kMarker));
    for (const char* suffix : kSuffixes) {
        const std::size_t n = std::strlen(suffix);
        if (rest.size() > n && rest.compare(rest.size() - n, n, suffix) == 0) {
            rest.resize(rest.size() - n);
            break;
        }
    }
    const auto dot = rest.find('.');
    if (dot == std::string::npos) return {};
    const std::string tag = rest.substr(0, dot), digits = rest.substr(dot + 1);
    if (!AllOf(tag, "0123456789abcdefghijklmnopqrstuvwxyz") || !AllOf(digits, "0123456789") || digits.size() > 9)
        return {};
    return {tag, std::stol(digits)};
}

std::size_t RemoveStaleBeside(const std::string& finalPath) {
    const std::string& here = MachineTag();
    // Without knowing where we run, no pid in a name can be asked about.
    if (here.empty()) return 0;
    const std::string dirPath = FolderOf(finalPath);
    DIR* dir = ::opendir(dirPath.c_str());
    if (!dir) return 0;
    std::size_t removed = 0;
    const long self = static_cast<long>(::getpid());
    const long pidMax = PidMax();
    const uid_t user = ::geteuid();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const TemporaryName t = ParseName(name);
        // A pid no process here can have was never written by one of us.
        if (t.pid <= 1 || t.pid >= pidMax || t.pid == self || t.tag != here) continue;
        const std::string path = dirPath + "/" + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != user) continue;
        // Only a process that is gone: a live one (ours or a reused pid) keeps its file.
        if (::kill(static_cast<pid_t>(t.pid), 0) == 0 || errno != ESRCH) continue;
        if (::unlink(path.c_str()) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace quorl::temporaries
