#include "UserMessages.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/FileErrors.h"

namespace quorl {

void ShowMessage(IUserMessages& messages, const char* format, ...) {
    char buffer[120];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    messages.ShowInfo(buffer);
}

std::string SystemErrorText(int errorNumber) {
    if (const char* ours = FileErrorText(errorNumber)) return ours;
    char buffer[1025];
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(errorNumber, buffer, sizeof buffer);
    std::string result = text ? text : "Unknown error";
    if (result.size() > 1024) result.resize(1024);
    return result;
}

}  // namespace quorl
