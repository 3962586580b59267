#include "survey/OutputTarget.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "common/FileErrors.h"

namespace quorl {

int RefusedOutput(const std::string& path, const std::vector<std::string>& inputs) {
    struct stat target {};
    if (::lstat(path.c_str(), &target) != 0) {
        // Nothing there yet: creating the temporary beside it tells the rest.
        return 0;
    }
    if (S_ISLNK(target.st_mode)) return kErrorIsSymlink;
    if (const int why = NotRegularFileError(target.st_mode)) return why;
    for (const std::string& input : inputs) {
        struct stat in {};
        // An input named through a link is still the file it points to.
        if (::stat(input.c_str(), &in) == 0 && in.st_dev == target.st_dev && in.st_ino == target.st_ino)
            return kErrorIsInput;
    }
    return 0;
}

bool SameOutput(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    const fs::path na = fs::absolute(a, ignored).lexically_normal(), nb = fs::absolute(b, ignored).lexically_normal();
    if (na == nb) return true;
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    // Not both there yet: one name in one folder, however the folder is reached
    // (a linked folder, a bind mount), is one file.
    const auto folder = [](const fs::path& p) { return p.has_parent_path() ? p.parent_path() : fs::path("/"); };
    return na.filename() == nb.filename() && ::stat(folder(na).c_str(), &sa) == 0 &&
           ::stat(folder(nb).c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace quorl
