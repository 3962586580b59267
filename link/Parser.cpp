#include "link/Parser.h"

#include <cstring>

#include "link/Protocol.h"

namespace quorl {

// Only the bytes a frame stored can be non-zero, so clearing the first
// `length_` bytes restores the all-zero buffer; noise between frames costs
// nothing.
void CParser::Reset() {
    if (length_ > 0) std::memset(buffer_.data(), 0, length_);
    length_ = 0;
    type_ = 0;
    state_ = kIdle;
}

void CParser::Append(std::uint8_t b) {
    if (length_ >= kBufferSize) {  // would overrun: abandon
        Reset();
        return;
    }
    buffer_[length_++] = b;
    state_ = kBody;
}

void CParser::PushByte(std::uint8_t b) {
    switch (state_) {
    case kIdle:  // wait for a lead byte
        if (b == kFrameLead) state_ = kLead;
        return;
    case kLead:  // only a start may follow
        if (b == kFrameStart) state_ = kType;
        else Reset();
        return;
    case kType:  // the type; 0x11 is escaped
        type_ = b;
        state_ = (b == kFrameLead) ? kTypeEscape : kBody;
        return;
    case kTypeEscape:  // escaped type 0x11
        if (b == kFrameLiteralLead) state_ = kBody;
        else Reset();
        return;
    case kBody:  // body bytes until a lead byte
        if (b == kFrameLead) state_ = kBodyEscape;
        else Append(b);
        return;
    case kBodyEscape:  // end of frame or a literal 0x11
        if (b == kFrameEnd) state_ = kComplete;
        else if (b == kFrameLiteralLead) Append(kFrameLead);
        else Reset();
        return;
    case kComplete:  // the caller resets before the next byte
        return;
    default:
        Reset();
        return;
    }
}

}  // namespace quorl
