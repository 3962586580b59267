#pragma once
// Temporary files an interrupted command must not leave behind. Each is
// named .NAME.quorl-tmp.TAG.PID beside the file it will become (TAG: see
// MachineTag.h); SQLite's journal of a new database adds -journal. Ctrl-C,
// SIGTERM, SIGHUP and SIGQUIT unlink the registered ones before the signal
// takes its usual course. What a kill no handler sees leaves behind (SIGKILL,
// a power cut) is removed by the next output into that folder, but only when
// that can be proven abandoned: a regular file of the running user, made on
// this host, boot and PID namespace by a process that no longer exists. A
// folder shared with other users, machines or containers keeps their files.

#include <cstddef>
#include <string>

namespace quorl::temporaries {

// DIR/.NAME.quorl-tmp.TAG.PID for DIR/NAME and this process.
std::string NameFor(const std::string& finalPath);

// Armed for the signals above; returns a slot for Forget, or -1 when every
// slot is taken (then only a later sweep removes the file).
int Register(const std::string& path);
void Forget(int slot);

// Unlinks the temporaries in the folder of `finalPath` whose process is
// gone; the count removed.
std::size_t RemoveStaleBeside(const std::string& finalPath);

struct TemporaryName {
    std::string tag;
    long pid = 0;  // 0: not a temporary's name
};
// What a file name says of the process that made it (with or without a
// journal's suffix).
TemporaryName ParseName(const std::string& fileName);

}  // namespace quorl::temporaries
