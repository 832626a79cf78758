#include "config/KeptFileBytes.h"

namespace quillet {

using Kind = platform::FileLook::Kind;

bool KeptFileBytes::StillHolds(const std::string& path, const platform::FileLook& look) const {
    // A file that was there but could not be read (another program held it) is read again.
    return kept_ && kept_->bytes && kept_->path == path && look.kind == Kind::File &&
           kept_->look.kind == Kind::File && look.stamp == kept_->look.stamp &&
           look.stamp.lastWrite < kept_->readAt - kRacyMargin;
}

const std::optional<std::string>& KeptFileBytes::Bytes(const std::string& path,
                                                       const FileAccess& access) {
    const std::int64_t now = access.now();
    const platform::FileLook look = access.look(path);
    if (StillHolds(path, look)) return kept_->bytes;
    std::optional<std::string> bytes;
    if (look.kind != Kind::Missing) bytes = access.read(path);
    kept_ = Read{path, look, now, std::move(bytes)};
    return kept_->bytes;
}

}  // namespace quillet
