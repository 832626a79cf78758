#include "config/PluginGlobals.h"

#include <utility>

namespace quillet {

VersionedLines::VersionedLines(std::vector<std::string> lines) : lines_(std::move(lines)) {}

void VersionedLines::Replace(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    version_ = NewVersion();
}

std::uint64_t VersionedLines::NewVersion() {
    // Only the host's thread changes lists (the plug-in starts no threads).
    static std::uint64_t last = 0;
    return ++last;
}

std::string PluginPath;
VersionedLines ExcludeList;
std::vector<std::string> AliasFromList;
std::vector<std::string> AliasToList;

}  // namespace quillet
