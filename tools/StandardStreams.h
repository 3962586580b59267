#pragma once
// "-" as a file name: standard input for a collection file, standard output
// for a text format.

#include <string>
#include <vector>

namespace quorl::tools {

inline bool IsStandardStream(const std::string& path) { return path == "-"; }

// The name the commands read standard input by once it is a file.
inline constexpr const char* kStandardInputPath = "/dev/stdin";

// Turns each "-" among `paths` into kStandardInputPath. Collection files are
// read at offsets, so a pipe is first copied into a private temporary file
// (unlinked from the start: nothing is left behind, even when the command is
// killed) that then stands as standard input; a redirected file is read
// where it is. False with `error` set when "-" comes twice, standard input
// is a terminal, or it cannot be read or copied.
bool ReadStandardInputAsFile(std::vector<std::string*> paths, std::string& error);

// Writes `text` whole to standard output; false with `error` set.
bool WriteStandardOutput(const std::string& text, std::string& error);

}  // namespace quorl::tools
