#pragma once
// Temporary files an interrupted command must not leave behind. Each is
// named .NAME.quorl-tmp.PID beside the file it will become. Ctrl-C, SIGTERM,
// SIGHUP and SIGQUIT unlink the registered ones before the signal takes its
// usual course; what a kill no handler sees leaves behind (SIGKILL, a power
// cut) carries the pid of a process that is gone, and the next output into
// that folder removes it.

#include <cstddef>
#include <string>

namespace quorl::temporaries {

// DIR/.NAME.quorl-tmp.PID for DIR/NAME and this process.
std::string NameFor(const std::string& finalPath);

// Armed for the signals above; returns a slot for Forget, or -1 when every
// slot is taken (then only a later sweep removes the file).
int Register(const std::string& path);
void Forget(int slot);

// Unlinks the temporaries in the folder of `finalPath` whose process is
// gone; the count removed.
std::size_t RemoveStaleBeside(const std::string& finalPath);

// The pid in a temporary's file name, or 0 when the name is not one of ours.
long PidInName(const std::string& fileName);

}  // namespace quorl::temporaries
