// Host services of the POSIX platform layer: plug-in modules through the dynamic linker.
#include <dlfcn.h>

#include "platform/host.h"

namespace platform {

namespace {

// The text of the last failed load or look-up, kept because dlerror() forgets it when read.
std::string& LastLoadErrorText() {
    static std::string text;
    return text;
}

void RememberLoadError() {
    const char* reason = ::dlerror();
    LastLoadErrorText() = reason != nullptr ? reason : "unknown dynamic-linker error";
}

}  // namespace

void* LoadModule(const std::string& path) {
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) RememberLoadError();
    return module;
}

void* FindExport(void* module, const char* name) {
    ::dlerror();
    void* address = ::dlsym(module, name);
    if (address == nullptr) RememberLoadError();
    return address;
}

void FreeModule(void* module) {
    if (module != nullptr) ::dlclose(module);
}

std::string LastLoadError() {
    return LastLoadErrorText();
}

void UseUtf8Console() {}

}  // namespace platform
