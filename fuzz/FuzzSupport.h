#pragma once
// What the harnesses share: the result check, a scratch folder and whole-file
// reads and writes.

#include <cstdint>
#include <string>
#include <vector>

namespace quorl::fuzz {

using Bytes = std::vector<std::uint8_t>;

// Reports a failed check and aborts. Not an assert: it must also stop a
// release build and the replay driver.
[[noreturn]] void CheckFailed(const char* file, int line, const char* condition, const std::string& detail);

// Name of the input being replayed, for the failure report.
void SetCurrentInput(std::string name);

// A folder for this process's files (in memory when /dev/shm is there),
// removed at exit.
const std::string& ScratchDir();
// Names of the files in a folder, sorted.
std::vector<std::string> FileNames(const std::string& dir);

Bytes ReadFile(const std::string& path);
// Replaces the file's contents; aborts when it cannot (the harness's own
// fault, not a finding).
void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size);
inline void WriteFile(const std::string& path, const Bytes& bytes) { WriteFile(path, bytes.data(), bytes.size()); }
bool FileExists(const std::string& path);

}  // namespace quorl::fuzz

#define FUZZ_CHECK(condition, detail)                                                           \
    do {                                                                                        \
        if (!(condition)) ::quorl::fuzz::CheckFailed(__FILE__, __LINE__, #condition, (detail)); \
    } while (0)
