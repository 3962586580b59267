#pragma once
// Where a process runs, as far as its pid means anything: this host, this
// boot and this PID namespace. A temporary carries the tag of the process
// that made it, so a sweeper can tell that the pid in its name is one it can
// ask about (kill(pid, 0)): the same pid elsewhere (another machine sharing
// the folder, a container, before a reboot) is a different process.

#include <string>

namespace quorl::temporaries {

// 16 lower-case hex digits, the same for every process of this host, boot and
// PID namespace; empty when one of the three cannot be read (then no
// temporary can be proven abandoned).
const std::string& MachineTag();

// The tag of these three facts (exposed so that tests can make another's).
std::string TagOf(const std::string& host, const std::string& bootId, unsigned long long pidNamespace);

}  // namespace quorl::temporaries
