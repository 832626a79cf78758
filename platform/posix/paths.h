// Paths of the POSIX platform layer: the plug-in works with Windows-form paths in the ANSI code
// page ("Z:\home\a.txt"); Linux wants UTF-8 names separated by "/".
#pragma once

#include <optional>
#include <string>

namespace platform::posix {

// The Linux path (UTF-8) of a Windows-form path in the ANSI code page, resolved as Windows
// resolves it before it reaches the file system:
//   - "Z:" is "/"; another drive letter X is the folder that QUILLET_DRIVE_X names, and missing
//     (nullopt) without it; a path that starts with one "\" is on Z:; a path without a drive is
//     relative to the working folder; a network path ("\\server\share") and the empty path
//     are missing;
//   - "\" and "/" both separate; empty levels and "." drop out; ".." goes up one level but never
//     above the drive's root;
//   - like Windows, a level followed by another loses one final ".", and the last level loses
//     every final "." and blank ("Bob. " names the file "Bob").
// The text is cut at its first NUL byte, as the Windows API sees it.
std::optional<std::string> NativePath(const std::string& windowsPath);

// The Windows form on drive Z: of an absolute Linux path, in UTF-16 and in the ANSI code page
// ("/home/a" is "Z:\home\a", "/" is "Z:\").
std::u16string WindowsPathWide(const std::string& nativePath);
std::string WindowsPathAnsi(const std::string& nativePath);

// The working folder as a Linux path; empty when it cannot be read.
std::string WorkingFolder();

}  // namespace platform::posix
