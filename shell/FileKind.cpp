#include "shell/FileKind.h"

#include <algorithm>
#include <cctype>

namespace quorl {

FileKind KindOfFile(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    // A dot in a folder's name or a leading dot (a hidden file) is no extension.
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1))
        return FileKind::Unknown;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == "lpf" || ext == "gpf") return FileKind::Projection;
    if (ext == "ssd") return FileKind::Collection;
    if (ext == "qsite") return FileKind::Site;
    return FileKind::Unknown;
}

std::string UnknownFileText(const std::string& path) {
    return path + " is not a projection (.lpf, .gpf), collection (.ssd) or site (.qsite) file.";
}

}  // namespace quorl
