#pragma once
// Opening a file a command reads (or updates in place) without ever waiting:
// open(2) on a FIFO waits for a writer and on a device may wait for a
// carrier, so the open is non-blocking, and anything fstat does not call a
// regular file is refused before a byte is read.

#include <string>

namespace quorl {

// open(2) with O_CLOEXEC, refusing what is not a regular file (errno set to
// EISDIR or one of FileErrors.h's numbers); a folder only when `flags` holds
// O_DIRECTORY. The descriptor comes back in
// blocking mode unless `flags` asked for O_NONBLOCK. -1 on failure.
int OpenRegularFile(const std::string& path, int flags, unsigned mode = 0644);

}  // namespace quorl
