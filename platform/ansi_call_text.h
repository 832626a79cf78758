// The text that an ANSI call of Windows writes into a buffer, for calls whose reported length
// cannot be trusted. Under Wine with a double-byte code page ExpandEnvironmentStringsA reports
// the length in UTF-16 units, not bytes: a buffer sized from it is too small, and the call fills
// it with part of the text and no terminating NUL while reporting success. So the text is what
// lies before the first NUL the call wrote, and a buffer that holds none was too small, whatever
// the call said: it grows, and the call is made again.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace platform {

// One call into a buffer of `capacity` bytes. It returns 0 when it failed, else the bytes the
// text needs with its NUL as the call reports them: more than `capacity` when it says the buffer
// was too small.
using AnsiCall = std::function<std::size_t(char* buffer, std::size_t capacity)>;

// The longest text an ANSI call gives: 32 767 UTF-16 units (a path or an expanded environment
// string) at up to four bytes each.
inline constexpr std::size_t kLongestAnsiCallText = 32767 * 4 + 1;

// The text `call` writes, trying buffers from `capacity` bytes up; nullopt when the call fails or
// the text needs more than kLongestAnsiCallText bytes.
std::optional<std::string> TextOfAnsiCall(std::size_t capacity, const AnsiCall& call);

}  // namespace platform
