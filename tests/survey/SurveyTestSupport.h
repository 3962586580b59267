#pragma once
// Files and folders for the survey tests.

#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quorl::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorl-survey-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        path_ = ::mkdtemp(name.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }
    // Names of the files in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A command run as the user runs it, its output caught in files in `dir`.
struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a shell command line as it stands (the caller quotes what needs it).
inline Outcome RunCommandLine(std::string command, const TempDir& dir) {
    command += " >" + Quote(dir / "stdout.txt") + " 2>" + Quote(dir / "stderr.txt");
    Outcome o;
    const int raw = std::system(command.c_str());
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const Bytes out = ReadBytes(dir / "stdout.txt");
    const Bytes err = ReadBytes(dir / "stderr.txt");
    o.out.assign(out.begin(), out.end());
    o.err.assign(err.begin(), err.end());
    std::filesystem::remove(dir / "stdout.txt");
    std::filesystem::remove(dir / "stderr.txt");
    return o;
}

// Runs a program with these arguments, each quoted.
inline Outcome Shell(const TempDir& dir, const std::vector<std::string>& args) {
    std::string command;
    // Appended piece by piece: "literal" + temporary string sets off GCC 12's
    // -Wrestrict false positive in optimised builds.
    for (const auto& a : args) {
        if (!command.empty()) command += ' ';
        command += Quote(a);
    }
    return RunCommandLine(command, dir);
}

#ifdef QUORL_TOOL
// The companion run as the user runs it.
inline Outcome Quorl(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), QUORL_TOOL);
    return Shell(dir, args);
}
#endif

}  // namespace quorl::test
