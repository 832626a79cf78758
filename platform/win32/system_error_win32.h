// The Windows side of SystemError: the system's own wording of an error code.
#pragma once

#include <cstdint>
#include <string>

namespace platform::win32 {

// FormatMessageA's text for a GetLastError code, without its final line break; "error N"
// when Windows has no text for it.
std::string SystemReason(std::uint32_t code);

// Throws SystemError with the operation, the path, the code and the system's wording of it.
[[noreturn]] void ThrowSystemError(const char* operation, const std::string& path,
                                   std::uint32_t code);

}  // namespace platform::win32
