#include "survey/PendingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "survey/FileHandle.h"
#include "survey/OutputTarget.h"
#include "survey/TemporaryFiles.h"

namespace quorl {

PendingFile::PendingFile(std::string finalPath, std::vector<std::string> inputs)
    : final_(std::move(finalPath)), inputs_(std::move(inputs)) {
    if ((error_ = RefusedOutput(final_, inputs_)) != 0) return;
    struct stat there {};
    if (::lstat(final_.c_str(), &there) == 0) {
        existed_ = true;
        device_ = there.st_dev;
        inode_ = there.st_ino;
    }
    temporaries::RemoveStaleBeside(final_);
    const std::string name = temporaries::NameFor(final_);
    // Armed before the file exists: a signal between the two must not leave it.
    slot_ = temporaries::Register(name);
    int fd = -1;
    for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        // Our own pid on an old file: a process before us that had it was killed.
        if (fd < 0 && errno == EEXIST && attempt == 0) ::unlink(name.c_str());
    }
    if (fd < 0) {
        error_ = errno;
        temporaries::Forget(slot_);
        slot_ = -1;
        return;
    }
    ::close(fd);
    temp_ = name;
}

PendingFile::~PendingFile() { Discard(); }

void PendingFile::Discard() {
    if (temp_.empty()) return;
    ::unlink(temp_.c_str());
    temporaries::Forget(slot_);
    slot_ = -1;
    temp_.clear();
}

bool PendingFile::Commit() {
    if (temp_.empty()) return false;
    // Something may have been put at the path since the check.
    if ((error_ = RefusedOutput(final_, inputs_)) != 0) {
        Discard();
        return false;
    }
    if (std::rename(temp_.c_str(), final_.c_str()) != 0) {
        error_ = errno;
        Discard();
        return false;
    }
    temporaries::Forget(slot_);
    slot_ = -1;
    temp_.clear();
    return true;
}

bool PendingFile::CommitIfUnchanged() {
    if (temp_.empty()) return false;
    if ((error_ = RefusedOutput(final_, inputs_)) != 0 || !PutInPlace()) {
        Discard();
        return false;
    }
    temporaries::Forget(slot_);
    slot_ = -1;
    temp_.clear();
    return true;
}

bool PendingFile::PutInPlace() {
    if (!existed_) {
        // Atomic: a file that appeared since is never replaced.
        if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, final_.c_str(), RENAME_NOREPLACE) == 0) return true;
        if (errno != EINVAL && errno != ENOSYS) return (error_ = errno), false;
        // A file system without it: a hard link refuses an existing name too.
        if (::link(temp_.c_str(), final_.c_str()) != 0) return (error_ = errno), false;
        ::unlink(temp_.c_str());
        temp_.clear();
        return true;
    }
    // Swap, then look at what was displaced: the empty file seen at the start
    // goes, anything else is swapped back.
    if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, final_.c_str(), RENAME_EXCHANGE) != 0) {
        if (errno != EINVAL && errno != ENOSYS) return (error_ = errno), false;
        struct stat now {};
        if (::lstat(final_.c_str(), &now) != 0 || now.st_dev != device_ || now.st_ino != inode_ || now.st_size != 0)
            return (error_ = EEXIST), false;
        if (std::rename(temp_.c_str(), final_.c_str()) != 0) return (error_ = errno), false;
        temp_.clear();
        return true;
    }
    struct stat displaced {};
    if (::lstat(temp_.c_str(), &displaced) == 0 && displaced.st_dev == device_ && displaced.st_ino == inode_ &&
        displaced.st_size == 0) {
        ::unlink(temp_.c_str());
        return true;
    }
    ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, final_.c_str(), RENAME_EXCHANGE);
    error_ = EEXIST;
    return false;
}

int WriteWholeFile(const std::string& path, const void* data, std::size_t size,
                   const std::vector<std::string>& inputs) {
    PendingFile pending(path, inputs);
    if (!pending.Created()) return pending.Error();
    {
        FileHandle file = FileHandle::Open(pending.TempPath(), O_WRONLY | O_TRUNC);
        if (!file.Valid() || !file.WriteAt(data, size, 0) || !file.Flush()) return errno != 0 ? errno : EIO;
    }
    return pending.Commit() ? 0 : pending.Error();
}

}  // namespace quorl
