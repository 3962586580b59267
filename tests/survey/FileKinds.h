#pragma once
// What else than a plain file a path may name, for the tests of opening
// inputs and writing outputs, and the temporaries an output may leave.

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/survey/SurveyTestSupport.h"

namespace quorl::test {

enum class FileKind { Absent, Regular, Device, Fifo, Folder, Symlink };

inline const char* NameOf(FileKind kind) {
    static const char* names[] = {"absent", "regular file", "device", "FIFO", "folder", "symlink"};
    return names[static_cast<int>(kind)];
}

inline const Bytes kOldBytes{'o', 'l', 'd'};

// Puts a `kind` at `path`; a regular file and a symlink's target
// (`path`.target) hold kOldBytes. False where the system will not (a device
// node needs root).
inline bool MakeFileKind(FileKind kind, const std::string& path) {
    switch (kind) {
    case FileKind::Absent: return true;
    case FileKind::Regular: WriteBytes(path, kOldBytes); return true;
    case FileKind::Device: return ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0;
    case FileKind::Fifo: return ::mkfifo(path.c_str(), 0644) == 0;
    case FileKind::Folder: return ::mkdir(path.c_str(), 0755) == 0;
    case FileKind::Symlink:
        WriteBytes(path + ".target", kOldBytes);
        return ::symlink((path + ".target").c_str(), path.c_str()) == 0;
    }
    return false;
}

inline std::vector<std::string> TemporariesIn(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string().find(".quorl-tmp.") != std::string::npos) found.push_back(e.path());
    return found;
}

}  // namespace quorl::test
