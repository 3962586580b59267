#include "survey/PendingFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace quorl {

PendingFile::PendingFile(std::string finalPath) : final_(std::move(finalPath)) {
    const std::string pattern = final_ + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error_ = errno;
        return;
    }
    ::fchmod(fd, 0644);
    ::close(fd);
    temp_ = name.data();
}

PendingFile::~PendingFile() {
    if (!temp_.empty()) ::unlink(temp_.c_str());
}

bool PendingFile::Commit() {
    if (temp_.empty()) return false;
    if (std::rename(temp_.c_str(), final_.c_str()) != 0) {
        error_ = errno;
        return false;
    }
    temp_.clear();
    return true;
}

}  // namespace quorl
