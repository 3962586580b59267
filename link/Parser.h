#pragma once
// CParser: the incoming frame decoder, one byte per call.
//
// Recovery rule: any byte a state does not expect abandons the frame and
// returns to Idle, and that byte is not looked at again (a second lead byte
// is not a new lead). Whenever the state is Idle the length is 0 and the
// whole buffer is zero, so handlers may read past a body and find zeros.

#include <array>
#include <cstdint>

namespace quorl {

class CParser {
public:
    enum State : std::uint16_t {
        kIdle = 0x00,        // outside a frame
        kLead = 0x10,        // lead byte seen outside a frame
        kType = 0x20,        // start seen; next byte is the type
        kTypeEscape = 0x30,  // type 0x11 seen; 0x14 must follow
        kBody = 0x40,        // collecting body bytes
        kBodyEscape = 0x50,  // lead byte seen inside the body
        kComplete = 0x60,    // end seen; frame ready
    };
    static constexpr std::uint32_t kBufferSize = 8192;

    CParser() = default;
    virtual ~CParser() = default;

    void PushByte(std::uint8_t b);
    // Back to Idle with an all-zero buffer.
    void Reset();

    State GetState() const { return static_cast<State>(state_); }
    bool Complete() const { return state_ == kComplete; }
    std::uint8_t Type() const { return type_; }
    // The body: data bytes and trailer, unescaped; zero beyond Length().
    const std::uint8_t* Body() const { return buffer_.data(); }
    std::uint32_t Length() const { return length_; }

private:
    void Append(std::uint8_t b);

    std::array<std::uint8_t, kBufferSize> buffer_{};
    std::uint8_t type_ = 0;
    std::uint32_t length_ = 0;
    std::uint16_t state_ = kIdle;
};

}  // namespace quorl
