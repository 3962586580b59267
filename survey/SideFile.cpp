#include "survey/SideFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "survey/FileHandle.h"

namespace quorl {

namespace {

constexpr std::size_t kChunk = 1 << 20;

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool FlushFolder(const std::string& path) {
    FileHandle folder = FileHandle::Open(FolderOf(path), O_RDONLY | O_DIRECTORY);
    return folder.Valid() && ::fsync(folder.Descriptor()) == 0;
}

bool Copy(const FileHandle& from, const FileHandle& to, std::uint64_t offset, std::uint64_t length) {
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(
        static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, std::max<std::uint64_t>(length, 1))));
    for (std::uint64_t done = 0; done < length;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, length - done));
        const std::int64_t got = from.ReadAt(buffer.get(), n, offset + done);
        if (got < 0) return false;
        if (static_cast<std::size_t>(got) != n) {
            errno = EIO;  // the file became shorter meanwhile
            return false;
        }
        if (!to.WriteAt(buffer.get(), n, done)) return false;
        done += n;
    }
    return to.Flush();
}


// Created exclusively under the first name `nameFor(n)` free, n from 1.
template <typename NameFor>
bool SaveAs(NameFor nameFor, const FileHandle& file, std::uint64_t offset, std::uint64_t length,
            std::string& savedPath) {
    FileHandle side;
    for (int n = 1; n < 1000 && !side.Valid(); ++n) {
        savedPath = nameFor(n);
        side = FileHandle::Open(savedPath, O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (!side.Valid() && errno != EEXIST) return false;
    }
    if (!side.Valid()) return false;
    if (!Copy(file, side, offset, length) || !FlushFolder(savedPath)) {
        const int error = errno;
        side.Close();
        ::unlink(savedPath.c_str());
        errno = error;
        return false;
    }
    return true;
}

}  // namespace

bool SaveBeside(const std::string& path, const FileHandle& file, const char* what, std::uint64_t offset,
                std::uint64_t length, std::string& savedPath) {
    const std::string base = path + "." + what + "-at-" + std::to_string(offset);
    return SaveAs([&](int n) { return n == 1 ? base : base + "." + std::to_string(n); }, file, offset, length,
                  savedPath);
}

bool FlushFolderOf(const std::string& path) { return FlushFolder(path); }

bool KeepDamaged(const std::string& path, const FileHandle& file, std::uint64_t length, std::string& savedPath) {
    return SaveAs([&](int n) { return path + ".damaged-" + std::to_string(n); }, file, 0, length, savedPath);
}

}  // namespace quorl
