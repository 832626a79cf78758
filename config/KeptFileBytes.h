// The bytes of a file that every message reads (the settings file, "aliases.ini"), read again
// only when the file may have changed. Before it reads, the holder asks the file system for the
// file's identity, size and last-write time (one call) and gives the bytes it read last time when
// all three are as they were then and that last write lay safely before that read: a write in
// the same clock tick as the read (the file system's time resolution, 2 s on FAT, covers it)
// might keep size and time, so such a file is read again until its time is old enough (the rule
// Git uses for "racily clean" files). What can go unseen is only a change that keeps the size and
// puts the last-write time back on purpose.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace quillet {

// How the holder reaches the file system; tests put in their own.
struct FileAccess {
    platform::FileLook (*look)(const std::string& path) = platform::LookAtFile;
    std::optional<std::string> (*read)(const std::string& path) = platform::ReadWholeFile;
    std::int64_t (*now)() = platform::CurrentFileTime;
    void (*pause)(unsigned milliseconds) = platform::Pause;
};

// How long before a read a file's last write must lie for the file to be taken as unchanged
// while its stamp stays: 2 s, in FILETIME ticks.
inline constexpr std::int64_t kRacyMargin = 2 * 10000000;

class KeptFileBytes {
public:
    // The bytes of `path` as ReadWholeFile gives them; nullopt for a file the look finds missing.
    // A file that cannot be looked at, or could not be read last time, is read. A file that is
    // there but cannot be read (held by a backup program, caught in an editor's save) is tried
    // again for up to platform::kHeldFilePatienceMs; after that the bytes last read from it are
    // given, nullopt only when there are none.
    const std::optional<std::string>& Bytes(const std::string& path, const FileAccess& access = {});

    // A number that changes whenever Bytes gives other bytes (or another file's) than the time
    // before, so that what is made from them is known to hold without comparing them.
    std::uint64_t generation() const { return generation_; }

private:
    struct Read {
        std::string path;
        platform::FileLook look;
        std::int64_t readAt = 0;  // taken before the read began
        std::optional<std::string> bytes;
    };
    bool StillHolds(const std::string& path, const platform::FileLook& look) const;
    static std::optional<std::string> ReadWithPatience(const std::string& path,
                                                       const FileAccess& access);

    // Keeps what a read gave, counting a generation when it differs from what was kept.
    void Keep(const std::string& path, const platform::FileLook& look, std::int64_t readAt,
              std::optional<std::string> bytes);

    std::optional<Read> kept_;
    std::uint64_t generation_ = 0;
};

}  // namespace quillet
