#include "tools/StandardStreams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/UserMessages.h"

namespace quorl::tools {

namespace {

// An unlinked file in the temporary folder: O_TMPFILE where the file system
// has it, else a fresh name removed at once.
int PrivateTemporary() {
    const char* dir = std::getenv("TMPDIR");
    const std::string folder = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    std::string name = folder + "/quorl-stdin-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
    return fd;
}

// Copies what standard input holds into `fd`; errno is set on failure.
bool CopyStandardInput(int fd) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer.data(), buffer.size());
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(fd, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            done += w;
        }
    }
}

}  // namespace

bool ReadStandardInputAsFile(std::vector<std::string*> paths, std::string& error) {
    std::size_t dashes = 0;
    for (const std::string* p : paths) dashes += IsStandardStream(*p) ? 1 : 0;
    if (dashes == 0) return true;
    if (dashes > 1) {
        error = "standard input (-) can be read only once";
        return false;
    }
    struct stat st {};
    if (::fstat(STDIN_FILENO, &st) != 0) {
        error = "cannot read standard input: " + SystemErrorText(errno);
        return false;
    }
    if (::isatty(STDIN_FILENO)) {
        error = "standard input is a terminal: pipe or redirect a collection file into it (quorl ... - < FILE.ssd)";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        const int fd = PrivateTemporary();
        if (fd < 0) {
            error = "cannot make a temporary file for standard input: " + SystemErrorText(errno);
            return false;
        }
        if (!CopyStandardInput(fd)) {
            error = "cannot copy standard input into a temporary file: " + SystemErrorText(errno);
            ::close(fd);
            return false;
        }
        if (::dup2(fd, STDIN_FILENO) < 0) {
            error = "cannot read standard input: " + SystemErrorText(errno);
            ::close(fd);
            return false;
        }
        ::close(fd);
    }
    for (std::string* p : paths)
        if (IsStandardStream(*p)) *p = kStandardInputPath;
    return true;
}

bool WriteStandardOutput(const std::string& text, std::string& error) {
    if (std::fflush(stdout) != 0 && errno != 0) {
        error = "cannot write to standard output: " + SystemErrorText(errno);
        return false;
    }
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = "cannot write to standard output: " + SystemErrorText(errno);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace quorl::tools
