#include "common/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/FileErrors.h"

namespace quorl {

int NotRegularFileError(unsigned mode) {
    if (S_ISREG(mode)) return 0;
    if (S_ISDIR(mode)) return EISDIR;
    if (S_ISFIFO(mode)) return kErrorIsFifo;
    if (S_ISSOCK(mode)) return kErrorIsSocket;
    return kErrorIsDevice;
}

const char* FileErrorText(int errorNumber) {
    switch (errorNumber) {
    case kErrorIsFifo: return "it is a FIFO (named pipe), not a regular file";
    case kErrorIsDevice: return "it is a device, not a regular file";
    case kErrorIsSocket: return "it is a socket, not a regular file";
    case kErrorIsSymlink: return "it is a symbolic link; name the file itself (outputs are never written through a link)";
    case kErrorIsInput: return "it is one of the files this command reads; choose another output";
    default: return nullptr;
    }
}

int OpenRegularFile(const std::string& path, int flags, unsigned mode) {
    const bool folderAsked = (flags & O_DIRECTORY) != 0;
    // Looked at before it is opened: opening a tty, a tape or a modem has
    // effects of its own (a hang-up, a rewind, a dial), so a device is never opened.
    struct stat before {};
    if (::stat(path.c_str(), &before) == 0 && !(folderAsked && S_ISDIR(before.st_mode))) {
        if (const int why = NotRegularFileError(before.st_mode)) {
            errno = why;
            return -1;
        }
    }
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, static_cast<mode_t>(mode));
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // A FIFO without a reader (or a socket) refuses a non-blocking write open.
        struct stat st {};
        if (errno == ENXIO && ::stat(path.c_str(), &st) == 0 && NotRegularFileError(st.st_mode) != 0)
            errno = NotRegularFileError(st.st_mode);
        return -1;
    }
    struct stat st {};
    // A folder is what O_DIRECTORY asks for (to flush its entries); anything
    // else must be a file, and the one looked at (not swapped for a device since).
    const int why = ::fstat(fd, &st) != 0                     ? errno
                    : folderAsked && S_ISDIR(st.st_mode)     ? 0
                                                             : NotRegularFileError(st.st_mode);
    if (why != 0) {
        ::close(fd);
        errno = why;
        return -1;
    }
    if ((flags & O_NONBLOCK) == 0) {
        const int current = ::fcntl(fd, F_GETFL);
        if (current < 0 || ::fcntl(fd, F_SETFL, current & ~O_NONBLOCK) != 0) {
            const int why = errno;
            ::close(fd);
            errno = why;
            return -1;
        }
    }
    return fd;
}

}  // namespace quorl
