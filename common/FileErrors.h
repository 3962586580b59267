#pragma once
// Reasons a path is refused that errno has no word for. They travel as error
// numbers (above any the system uses) so that every "cannot open X: why"
// message in the program words them through SystemErrorText.

namespace quorl {

inline constexpr int kErrorIsFifo = 0x7100;      // a named pipe
inline constexpr int kErrorIsDevice = 0x7101;    // a character or block device
inline constexpr int kErrorIsSocket = 0x7102;
inline constexpr int kErrorIsSymlink = 0x7103;   // outputs never go through a link
inline constexpr int kErrorIsInput = 0x7104;     // the output is a file the command reads

// The error number for a file of type `mode` (st_mode) that is not a regular
// file: EISDIR for a folder, one of the above otherwise; 0 for a regular file.
int NotRegularFileError(unsigned mode);

// The words for one of the numbers above, or nullptr for a system error number.
const char* FileErrorText(int errorNumber);

}  // namespace quorl
