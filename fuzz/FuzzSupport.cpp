#include "fuzz/FuzzSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>


namespace quorl::fuzz {

namespace {

std::string& CurrentInput() {
    static std::string name;
    return name;
}

void RemoveScratch();

std::string MakeScratch() {
    std::string base = "/dev/shm";
    if (::access(base.c_str(), W_OK) != 0) base = std::filesystem::temp_directory_path().string();
    std::string pattern = base + "/quorl-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("quorl fuzz: mkdtemp");
        std::abort();
    }
    std::atexit(RemoveScratch);
    return pattern;
}

void RemoveScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(ScratchDir(), ignored);
}

}  // namespace

void CheckFailed(const char* file, int line, const char* condition, const std::string& detail) {
    std::fprintf(stderr, "\n%s:%d: check failed: %s\n  %s\n", file, line, condition, detail.c_str());
    if (!CurrentInput().empty()) std::fprintf(stderr, "  input: %s\n", CurrentInput().c_str());
    std::fflush(stderr);
    std::abort();
}

void SetCurrentInput(std::string name) { CurrentInput() = std::move(name); }

const std::string& ScratchDir() {
    // Never destroyed: the exit handler that removes the folder needs it.
    static const std::string* dir = new std::string(MakeScratch());
    return *dir;
}

std::vector<std::string> FileNames(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::fprintf(stderr, "quorl fuzz: cannot write %s\n", path.c_str());
        std::abort();
    }
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace quorl::fuzz
