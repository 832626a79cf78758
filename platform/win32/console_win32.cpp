// Console-program services of the Windows platform layer: the command line in UTF-16, standard
// streams that show Unicode in a console window and pass UTF-8 bytes to files and pipes, and
// paths between UTF-8 and the ANSI code page.
// clang-format off
#include <windows.h>  // first: shellapi.h builds on it
#include <shellapi.h>
// clang-format on

#include <algorithm>
#include <climits>
#include <cwchar>
#include <memory>

#include "platform/host.h"
#include "platform/platform.h"

namespace platform {

namespace {

struct LocalFreer {
    void operator()(wchar_t** arguments) const { LocalFree(arguments); }
};

std::u16string_view WideView(const wchar_t* text) {
    return std::u16string_view(reinterpret_cast<const char16_t*>(text), std::wcslen(text));
}

// UTF-8 as UTF-16; a malformed sequence becomes U+FFFD.
std::u16string Utf8ToWide(std::string_view text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    if (size <= 0) return {};
    std::u16string wide(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, reinterpret_cast<wchar_t*>(wide.data()),
                        size);
    return wide;
}

HANDLE StreamHandle(StandardStream stream) {
    return GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

bool WriteConsoleText(HANDLE handle, std::u16string_view text) {
    constexpr std::size_t kChunk = 8192;  // older consoles refuse long writes
    while (!text.empty()) {
        std::size_t count = std::min(text.size(), kChunk);
        // A surrogate pair is written whole.
        if (count < text.size() && count > 1 && text[count - 1] >= 0xD800 &&
            text[count - 1] <= 0xDBFF) {
            --count;
        }
        DWORD written = 0;
        if (!WriteConsoleW(handle, reinterpret_cast<const wchar_t*>(text.data()),
                           static_cast<DWORD>(count), &written, nullptr) ||
            written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

bool WriteBytes(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD count = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), count, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

std::vector<std::string> CommandLineArguments(int, char**) {
    int count = 0;
    const std::unique_ptr<wchar_t*, LocalFreer> arguments(
        CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::string> utf8;
    if (!arguments) return utf8;
    for (int i = 0; i < count; ++i) utf8.push_back(WideToUtf8(WideView(arguments.get()[i])));
    return utf8;
}

bool WriteStandard(StandardStream stream, std::string_view utf8) {
    const HANDLE handle = StreamHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    if (IsConsole(handle)) return WriteConsoleText(handle, Utf8ToWide(utf8));
    return WriteBytes(handle, utf8);
}

bool IsTerminal(StandardStream stream) {
    return IsConsole(StreamHandle(stream));
}

std::optional<std::string> PathFromUser(std::string_view utf8Path) {
    if (utf8Path.empty()) return std::nullopt;
    return WideToCodePageExact(AnsiCodePage(), Utf8ToWide(utf8Path));
}

std::string FullPath(const std::string& platformPath) {
    if (platformPath.empty()) return {};
    for (DWORD capacity = MAX_PATH + 1;; capacity *= 2) {
        std::string full(capacity, '\0');
        const DWORD length = GetFullPathNameA(platformPath.c_str(), capacity, full.data(), nullptr);
        if (length == 0) return {};
        if (length < capacity) {
            full.resize(length);
            return full;
        }
        if (capacity >= 32768 * 2) return {};
    }
}

std::string PathForUser(std::string_view platformPath) {
    return WideToUtf8(AnsiToWide(platformPath));
}

}  // namespace platform
