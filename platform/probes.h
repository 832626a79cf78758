// What tests and benchmarks ask of the operating system beyond what the plug-in needs: how many
// handles and how much memory the process holds, and obstacles to put in the way of the
// plug-in's file access. Built into the library quillet_platform_probes, which only tests and
// benchmarks link: none of this is part of the plug-in. Paths are in the Windows form and the
// ANSI code page, as everywhere in the platform layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// ---- Measurements ------------------------------------------------------------------------------

// The number of handles (file descriptors natively) the process has open.
std::size_t OpenHandleCount();

// The bytes of the process's memory that are resident (the working set on Windows).
std::size_t ResidentMemoryBytes();

// ---- Obstacles ---------------------------------------------------------------------------------

// Something put in the way of the plug-in's file access; taken away when the object is destroyed.
class Obstacle {
public:
    Obstacle() = default;
    virtual ~Obstacle() = default;
    Obstacle(const Obstacle&) = delete;
    Obstacle& operator=(const Obstacle&) = delete;
};
using ObstaclePtr = std::unique_ptr<Obstacle>;

// The existing file can no longer be opened for writing by this process: the read-only attribute
// on Windows, the immutable flag natively (the permission bits would not stop root). Null when
// the system cannot set it up or it would not stop this process (Wine running as root writes
// read-only files).
ObstaclePtr ProtectFromWriting(const std::string& path);

// A second handle holds the existing file open for reading and writing with no sharing, so no
// other open of it succeeds. Null natively: Linux has no mandatory sharing modes.
ObstaclePtr HoldWithoutSharing(const std::string& path);

// A second handle holds the existing file open for writing while letting others read it, as an
// editor or a sync tool does. Null natively: Linux has no sharing modes.
ObstaclePtr HoldOpenForWriting(const std::string& path);

// A second handle, opened as a program that shares the file does, locks all of it (LockFileEx
// from the first byte on, beyond its end), so no other handle may write to it. Null natively.
ObstaclePtr LockWholeFile(const std::string& path);

// The existing file gets the hidden and system attributes, which make Windows refuse to replace
// it with CREATE_ALWAYS. Null natively, which has no such attributes.
ObstaclePtr MarkHiddenAndSystem(const std::string& path);

// True when the file has both the hidden and the system attribute (never natively).
bool IsHiddenAndSystem(const std::string& path);

// The existing file still exists as a file but every read of it fails: on Windows it is held
// without sharing; natively it is moved aside and a link to /proc/self/mem, whose first page no
// process maps, takes its place (reads end in EIO). Null when that cannot be set up.
ObstaclePtr MakeUnreadable(const std::string& path);

// No file this process writes can grow past `bytes` (RLIMIT_FSIZE, with SIGXFSZ ignored so that
// the write fails with EFBIG instead of ending the process). Null on Windows, which has no such
// limit; a Windows process started under a Linux limit inherits it through Wine.
ObstaclePtr LimitFileSize(std::uint64_t bytes);

}  // namespace platform
