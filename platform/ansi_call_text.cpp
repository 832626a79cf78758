#include "platform/ansi_call_text.h"

#include <algorithm>

namespace platform {

namespace {
// What the buffer holds before the call: not a NUL, so that a NUL found afterwards is one the
// call wrote. A call that stops short of a double-byte character at the buffer's end (Wine's
// conversions do) leaves the last byte as it was.
constexpr char kUnwritten = '\x7F';
}  // namespace

std::optional<std::string> TextOfAnsiCall(std::size_t capacity, const AnsiCall& call) {
    capacity = std::max<std::size_t>(capacity, 1);
    while (capacity <= kLongestAnsiCallText) {
        std::string buffer(capacity, kUnwritten);
        const std::size_t reported = call(buffer.data(), capacity);
        if (reported == 0) return std::nullopt;
        const std::size_t end = buffer.find('\0');
        if (reported <= capacity && end != std::string::npos) {
            buffer.resize(end);
            return buffer;
        }
        capacity = reported > capacity ? reported : capacity * 2;
    }
    return std::nullopt;
}

}  // namespace platform
