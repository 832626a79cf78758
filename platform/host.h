// Services only a host program needs: loading a plug-in library by path, showing its UTF-8
// output on the console, and what a console program takes from and gives to the system (its
// arguments, its standard streams, paths as the user writes them). They live apart from
// platform.h so that the plug-in itself never links them (its DLL imports neither LoadLibrary
// nor SetConsoleOutputCP).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// ---- Console programs --------------------------------------------------------------------------

// The program's arguments in UTF-8, its own name first. Under Windows they are read from the
// command line in UTF-16 (GetCommandLineW, CommandLineToArgvW), so an argument in any script
// arrives whole whatever the ANSI code page; natively they are `argv` as given.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

enum class StandardStream { Output, Error };

// Writes UTF-8 text, made of whole sequences, to standard output or standard error: to a
// console window as Unicode (WriteConsoleW), to a file or a pipe as the bytes given. False when
// the write failed (a closed pipe, a full disk).
bool WriteStandard(StandardStream stream, std::string_view utf8);

// True when the stream goes to a terminal (a console window), not to a file or a pipe.
bool IsTerminal(StandardStream stream);

// A path as the user writes it on the command line (UTF-8, absolute or relative to the working
// folder) in the form platform.h takes: natively the Windows form on drive Z: of the absolute
// Linux path; under Windows the path itself; both in the ANSI code page. nullopt when that code
// page cannot hold every character of it.
std::optional<std::string> PathFromUser(std::string_view utf8Path);

// The full form of a path of platform.h's form: absolute, "." and ".." resolved, one separator
// between levels (GetFullPathNameA); empty when it has none (a missing drive natively).
std::string FullPath(const std::string& platformPath);

// A path of platform.h's form as the user writes it, in UTF-8: natively an absolute path is the
// Linux path and a relative one keeps its levels, joined by "/"; under Windows it is unchanged.
std::string PathForUser(std::string_view platformPath);

}  // namespace platform
