#include "config/KeptFileBytes.h"

#include <algorithm>

namespace quillet {

using Kind = platform::FileLook::Kind;

bool KeptFileBytes::StillHolds(const std::string& path, const platform::FileLook& look) const {
    // A file that was there but could not be read (another program held it) is read again.
    return kept_ && kept_->bytes && kept_->path == path && look.kind == Kind::File &&
           kept_->look.kind == Kind::File && look.stamp == kept_->look.stamp &&
           look.stamp.lastWrite < kept_->readAt - kRacyMargin;
}

std::optional<std::string> KeptFileBytes::ReadWithPatience(const std::string& path,
                                                           const FileAccess& access) {
    constexpr std::int64_t kTicksPerMillisecond = 10000;
    const std::int64_t start = access.now();
    for (unsigned attempt = 1;; ++attempt) {
        std::optional<std::string> bytes = access.read(path);
        const std::int64_t waited = (access.now() - start) / kTicksPerMillisecond;
        if (bytes || waited >= platform::kHeldFilePatienceMs) return bytes;
        access.pause(
            std::min<unsigned>(platform::kHeldFileFirstPauseMs * attempt,
                               platform::kHeldFilePatienceMs - static_cast<unsigned>(waited)));
    }
}

const std::optional<std::string>& KeptFileBytes::Bytes(const std::string& path,
                                                       const FileAccess& access) {
    const std::int64_t now = access.now();
    const platform::FileLook look = access.look(path);
    if (StillHolds(path, look)) return kept_->bytes;
    if (look.kind == Kind::Missing) {
        Keep(path, look, now, std::nullopt);
        return kept_->bytes;
    }
    std::optional<std::string> bytes = ReadWithPatience(path, access);
    // The file is there: its last good bytes stand for it until it can be read again, and the
    // next look reads it again.
    if (!bytes && kept_ && kept_->path == path && kept_->bytes) {
        kept_->look.kind = Kind::Unknown;
        return kept_->bytes;
    }
    Keep(path, look, now, std::move(bytes));
    return kept_->bytes;
}

void KeptFileBytes::Keep(const std::string& path, const platform::FileLook& look,
                         std::int64_t readAt, std::optional<std::string> bytes) {
    if (!kept_ || kept_->path != path || kept_->bytes != bytes) {
        ++generation_;
        kept_ = Read{path, look, readAt, std::move(bytes)};
        return;
    }
    // The same file and bytes: its name is held already.
    kept_->look = look;
    kept_->readAt = readAt;
}

}  // namespace quillet
