#pragma once
// Where a command may put a file it writes. Every output is replaced whole
// (a temporary renamed over it), so the path must be free or a regular
// file, and never one of the command's own inputs: a rename over a device
// node, a FIFO or a survey being read would destroy it. A symbolic link is
// refused, not followed: a command writes only the paths it was given.

#include <string>
#include <vector>

namespace quorl {

// 0 when `path` may be written; otherwise an error number for
// SystemErrorText (EISDIR, or one of FileErrors.h's).
int RefusedOutput(const std::string& path, const std::vector<std::string>& inputs);

// True when two outputs would land on one file: the same name, both there as
// the same file, or one name in the same folder reached by two paths.
bool SameOutput(const std::string& a, const std::string& b);

}  // namespace quorl
