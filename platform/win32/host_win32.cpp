// Host services of the Windows platform layer: plug-in libraries and the console's code page.
#include <windows.h>

#include "platform/host.h"
#include "platform/win32/system_error_win32.h"

namespace platform {

namespace {

std::string& LastLoadErrorText() {
    static std::string text;
    return text;
}

void RememberLoadError() {
    LastLoadErrorText() = win32::SystemReason(GetLastError());
}

}  // namespace

void* LoadModule(const std::string& path) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) RememberLoadError();
    return reinterpret_cast<void*>(module);
}

void* FindExport(void* module, const char* name) {
    const FARPROC address = GetProcAddress(static_cast<HMODULE>(module), name);
    if (address == nullptr) RememberLoadError();
    return reinterpret_cast<void*>(address);
}

void FreeModule(void* module) {
    if (module != nullptr) FreeLibrary(static_cast<HMODULE>(module));
}

std::string LastLoadError() {
    return LastLoadErrorText();
}

void UseUtf8Console() {
    SetConsoleOutputCP(CP_UTF8);
}

}  // namespace platform
