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
    return folder + "." + name + kMarker + std::to_string(::getpid());
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

long PidInName(const std::string& fileName) {
    const auto at = fileName.rfind(kMarker);
    if (fileName.empty() || fileName[0] != '.' || at == std::string::npos || at < 2) return 0;
    const std::string digits = fileName.substr(at + std::strlen(kMarker));
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::stol(digits);
}

std::size_t RemoveStaleBeside(const std::string& finalPath) {
    const std::string dirPath = FolderOf(finalPath);
    DIR* dir = ::opendir(dirPath.c_str());
    if (!dir) return 0;
    std::size_t removed = 0;
    const long self = static_cast<long>(::getpid());
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const long pid = PidInName(name);
        if (pid <= 0 || pid == self) continue;
        // Only a process that is gone: a live one (ours or a reused pid) keeps its file.
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        const std::string path = dirPath + "/" + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace quorl::temporaries
