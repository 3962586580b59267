#pragma once
// Bytes a repair takes out of a collection file (or overwrites in it), kept
// beside the file first so that the repair can be undone by hand:
//   FILE.torn-at-OFFSET   the unfinished tail that was cut off
// Each holds exactly the bytes that were at OFFSET; putting them back there
// (dd conv=notrunc seek=OFFSET) restores the file. An existing name is never
// overwritten: a later repair at the same offset gets ".2", ".3" ...
//   FILE.damaged-N        the whole file as it was, before a clean copy of
//                         its readable groups took its place (N from 1, the
//                         first name free)

#include <cstdint>
#include <string>

namespace quorl {

class FileHandle;

// Copies `length` bytes at `offset` of `file` (at `path`) to a new side file
// named for `what`, flushed to the disk with its folder entry before this
// returns. The new file's name in `savedPath`; false with errno set on failure
// (nothing is left behind then).
bool SaveBeside(const std::string& path, const FileHandle& file, const char* what, std::uint64_t offset,
                std::uint64_t length, std::string& savedPath);

// Copies the first `length` bytes of `file` (at `path`: all of it) to a new
// FILE.damaged-N, the same way.
// Flushes the folder entry of `path` (after a rename there); false on failure.
bool FlushFolderOf(const std::string& path);

bool KeepDamaged(const std::string& path, const FileHandle& file, std::uint64_t length, std::string& savedPath);

}  // namespace quorl
