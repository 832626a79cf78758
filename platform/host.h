// Services only a host program needs: loading a plug-in library by path and showing its UTF-8
// output on the console. They live apart from platform.h so that the plug-in itself never links
// them (its DLL imports neither LoadLibrary nor SetConsoleOutputCP).
#pragma once

#include <string>

// <windows.h> defines FreeModule as a macro for FreeLibrary, which would rename ours.
#ifdef FreeModule
#undef FreeModule
#endif

namespace platform {

// Loads a library by a path in the operating system's own form (LoadLibrary / dlopen); null on
// failure, with the system's reason in LastLoadError().
void* LoadModule(const std::string& path);
void* FindExport(void* module, const char* name);
void FreeModule(void* module);
std::string LastLoadError();

// Makes the console show the UTF-8 a host program prints (Windows consoles start in an OEM code
// page); terminals elsewhere take UTF-8 already.
void UseUtf8Console();

}  // namespace platform
