// The platform layer on Windows: thin wrappers of the real API (kernel32, user32, shell32).
// Text, process, environment, folders, the user's time format, message boxes and the browser;
// the file services are in files_win32.cpp.
// clang-format off
#include <windows.h>  // first: the other two build on it
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <climits>
#include <memory>

#include "platform/ansi_call_text.h"
#include "platform/platform.h"
#include "platform/utf8_upper_case.h"

namespace platform {

namespace {

constexpr int kModuleNameCapacity = 261;  // GetModuleFileNameW's buffer at start-up
constexpr UINT kWindowsDirectoryCapacity = 256;
constexpr int kShellPathCapacity = 261;  // what SHGetPathFromIDListW may write (MAX_PATH + 1)
constexpr int kShowNormal = 5;           // SW_SHOW

MessageObserver messageObserver = nullptr;

// The length of a text as the API's int, refusing texts it cannot take.
int ApiLength(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("text too long for Windows");
    return static_cast<int>(size);
}

const wchar_t* WidePointer(std::u16string_view text) {
    return text.empty() ? L"" : reinterpret_cast<const wchar_t*>(text.data());
}

const char* NarrowPointer(std::string_view text) {
    return text.empty() ? "" : text.data();
}

// The text up to its first NUL.
template <typename Text>
Text UpToNul(Text text) {
    const auto end = text.find(typename Text::value_type{});
    if (end != Text::npos) text.resize(end);
    return text;
}

// A buffer's capacity as the API's DWORD (never more than TextOfAnsiCall's longest text).
DWORD ApiCapacity(std::size_t capacity) {
    return static_cast<DWORD>(capacity);
}

// A locale setting of the user's default locale as text; empty when Windows has none.
std::string UserLocaleText(LCTYPE type) {
    const int size = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, nullptr, 0);
    if (size <= 0) return {};
    const auto text =
        TextOfAnsiCall(static_cast<std::size_t>(size), [type](char* buffer, std::size_t capacity) {
            const int written = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer,
                                               static_cast<int>(ApiCapacity(capacity)));
            if (written > 0) return static_cast<std::size_t>(written);  // with the NUL
            return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? capacity + 1 : std::size_t{0};
        });
    return text.value_or("");
}

struct ItemIdListFree {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};

// UTF-16 to the narrow code page `codePage` with no flags and no default character of our own.
std::string WideToNarrow(UINT codePage, std::u16string_view text) {
    if (text.empty()) return {};
    const int length = ApiLength(text.size());
    const int size =
        WideCharToMultiByte(codePage, 0, WidePointer(text), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string narrow(static_cast<std::size_t>(size), '\0');
    const int written = WideCharToMultiByte(codePage, 0, WidePointer(text), length, narrow.data(),
                                            size, nullptr, nullptr);
    narrow.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return narrow;
}

}  // namespace

// ---- Text --------------------------------------------------------------------------------------

unsigned AnsiCodePage() {
    return GetACP();
}

std::string WideToAnsi(std::u16string_view text) {
    return WideToNarrow(CP_ACP, text);
}

std::string WideToUtf8(std::u16string_view text) {
    return WideToNarrow(CP_UTF8, text);
}

std::u16string AnsiToWide(std::string_view text) {
    return CodePageToWide(CP_ACP, text);
}

std::u16string CodePageToWide(unsigned codePage, std::string_view text) {
    if (text.empty()) return {};
    const int length = ApiLength(text.size());
    const int size = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (size <= 0) return {};
    std::u16string wide(static_cast<std::size_t>(size), u'\0');
    const int written = MultiByteToWideChar(codePage, 0, text.data(), length,
                                            reinterpret_cast<wchar_t*>(wide.data()), size);
    wide.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return wide;
}

bool ValidInCodePage(unsigned codePage, std::string_view bytes) {
    if (bytes.empty()) return true;
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                               ApiLength(bytes.size()), nullptr, 0) > 0;
}

std::optional<std::string> WideToCodePageExact(unsigned codePage, std::u16string_view text) {
    if (text.empty()) return std::string();
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = ApiLength(text.size());
    // UTF-8 has no default character: an unpaired surrogate is refused with the flag instead.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    const int size =
        WideCharToMultiByte(codePage, flags, wide, length, nullptr, 0, nullptr, usedDefaultOut);
    if (size <= 0 || usedDefault) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, flags, wide, length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

namespace {
std::u16string MapLetters(std::u16string_view text, DWORD mapping) {
    if (text.empty()) return {};
    std::u16string mapped(text);
    const int length = ApiLength(text.size());
    LCMapStringEx(LOCALE_NAME_INVARIANT, mapping, reinterpret_cast<const wchar_t*>(text.data()),
                  length, reinterpret_cast<wchar_t*>(mapped.data()), length, nullptr, nullptr, 0);
    return mapped;
}
}  // namespace

std::u16string LowerCaseWide(std::u16string_view text) {
    return MapLetters(text, LCMAP_LOWERCASE);
}

std::u16string UpperCaseWide(std::u16string_view text) {
    return MapLetters(text, LCMAP_UPPERCASE);
}

bool EqualIgnoreCase(std::string_view a, std::string_view b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, NarrowPointer(a),
                          ApiLength(a.size()), NarrowPointer(b), ApiLength(b.size())) == CSTR_EQUAL;
}

bool EqualIgnoreCase(std::u16string_view a, std::u16string_view b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, WidePointer(a), ApiLength(a.size()),
                          WidePointer(b), ApiLength(b.size())) == CSTR_EQUAL;
}

std::string ComparisonKey(std::string_view text) {
    constexpr DWORD kFlags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const int length = ApiLength(text.size());
    if (length == 0) return {};
    const int size =
        LCMapStringA(LOCALE_USER_DEFAULT, kFlags, NarrowPointer(text), length, nullptr, 0);
    if (size <= 0) return std::string(text);  // no key to be had: the text stands for itself
    std::string key(static_cast<std::size_t>(size), '\0');
    LCMapStringA(LOCALE_USER_DEFAULT, kFlags, NarrowPointer(text), length, key.data(), size);
    return key;
}

const LeadBytes& AnsiLeadBytes() {
    // The ANSI code page is fixed for the life of a process. IsDBCSLeadByteEx knows no lead bytes
    // of UTF-8, whose characters are up to four bytes long.
    static const LeadBytes table = [] {
        LeadBytes made;
        made.utf8 = GetACP() == CP_UTF8;
        for (unsigned byte = 0; byte < 256; ++byte) {
            made.isLead[byte] = made.utf8
                                    ? byte >= 0xC2 && byte <= 0xF4
                                    : IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(byte)) != FALSE;
            made.any = made.any || made.isLead[byte];
        }
        return made;
    }();
    return table;
}

std::uint32_t UserLocale() {
    return GetUserDefaultLCID();
}

namespace {
// The user's locale's capitals of one character (CharUpperBuffW), as CharUpperBuffA would give
// them but for the bytes they take in UTF-8.
std::u16string UpperCaseCharacter(std::u16string_view character) {
    std::u16string upper(character);
    CharUpperBuffW(reinterpret_cast<wchar_t*>(upper.data()), static_cast<DWORD>(upper.size()));
    return upper;
}
}  // namespace

std::string UpperCase(std::string_view text) {
    const LeadBytes& lead = AnsiLeadBytes();
    if (lead.utf8) return UpperCaseUtf8(text, lead, UpperCaseCharacter);
    std::string upper(text);
    if (!upper.empty()) CharUpperBuffA(upper.data(), static_cast<DWORD>(ApiLength(upper.size())));
    return upper;
}

// ---- Process, environment, folders -------------------------------------------------------------

std::u16string ModuleFileName(const void* module) {
    std::u16string name(kModuleNameCapacity, u'\0');
    const DWORD length =
        GetModuleFileNameW(static_cast<HMODULE>(const_cast<void*>(module)),
                           reinterpret_cast<wchar_t*>(name.data()), kModuleNameCapacity);
    name.resize(length);
    return UpToNul(name);
}

std::string HostProgramPath() {
    const auto path = TextOfAnsiCall(MAX_PATH + 1, [](char* buffer, std::size_t capacity) {
        // The length without the NUL; the whole capacity when the path was cut.
        const DWORD length = GetModuleFileNameA(nullptr, buffer, ApiCapacity(capacity));
        return length == 0 ? std::size_t{0} : static_cast<std::size_t>(length) + 1;
    });
    return path.value_or("");
}

std::string ExpandEnvironment(std::string_view text) {
    const std::string source = UpToNul(std::string(text));
    const DWORD asked = ExpandEnvironmentStringsA(source.c_str(), nullptr, 0);
    if (asked == 0) return source;
    // The size with the NUL; under Wine with a double-byte code page, in UTF-16 units.
    const auto expanded = TextOfAnsiCall(asked, [&source](char* buffer, std::size_t capacity) {
        return static_cast<std::size_t>(
            ExpandEnvironmentStringsA(source.c_str(), buffer, ApiCapacity(capacity)));
    });
    return expanded.value_or(source);  // too long for Windows to expand: the text as it came
}

std::string WindowsDirectory() {
    const auto directory =
        TextOfAnsiCall(kWindowsDirectoryCapacity, [](char* buffer, std::size_t capacity) {
            // The length without the NUL; the size with it when the buffer is too small.
            const UINT length = GetWindowsDirectoryA(buffer, ApiCapacity(capacity));
            return length < capacity && length > 0 ? static_cast<std::size_t>(length) + 1
                                                   : static_cast<std::size_t>(length);
        });
    return directory.value_or("");
}

std::int32_t SpecialFolder(int csidl, std::string& path) {
    ITEMIDLIST* rawList = nullptr;
    const HRESULT located = SHGetSpecialFolderLocation(nullptr, csidl, &rawList);
    const std::unique_ptr<ITEMIDLIST, ItemIdListFree> list(rawList);
    if (FAILED(located)) return static_cast<std::int32_t>(located);
    // The wide call, converted here: the ANSI one converts into a buffer of MAX_PATH bytes, which
    // a path of MAX_PATH characters outgrows in a double-byte code page (cut, without a NUL).
    std::u16string wide(kShellPathCapacity, u'\0');
    if (!list || !SHGetPathFromIDListW(list.get(), reinterpret_cast<wchar_t*>(wide.data()))) {
        return static_cast<std::int32_t>(E_UNEXPECTED);
    }
    path = WideToAnsi(UpToNul(wide));
    return 0;
}

TimeFormat UserTimeFormat() {
    TimeFormat format;
    format.leadingZero = UserLocaleText(LOCALE_ITLZERO) == "1";
    format.twelveHour = UserLocaleText(LOCALE_ITIME) == "0";
    format.designatorFirst = UserLocaleText(LOCALE_ITIMEMARKPOSN) == "1";
    std::string separator = UserLocaleText(LOCALE_STIME);
    format.separator = separator.empty() ? std::string(":") : std::move(separator);
    format.am = UserLocaleText(LOCALE_S1159);
    format.pm = UserLocaleText(LOCALE_S2359);
    return format;
}

// ---- User interface ----------------------------------------------------------------------------

void ShowMessage(const std::string& text, const std::string& caption) {
    if (messageObserver != nullptr) {
        messageObserver(text, caption);
        return;
    }
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

void SetMessageObserver(MessageObserver observer) {
    messageObserver = observer;
}

void OpenWebAddress(const std::string& address) {
    ShellExecuteA(nullptr, "open", address.c_str(), "", nullptr, kShowNormal);
}

}  // namespace platform
