#include "config/MessageReadCache.h"

#include "platform/platform.h"

namespace quillet {

namespace {
MessageReadScope* activeScope = nullptr;
}  // namespace

MessageReadScope::MessageReadScope() : outermost_(activeScope == nullptr) {
    if (!outermost_) return;
    activeScope = this;
}

MessageReadScope::~MessageReadScope() {
    if (outermost_) activeScope = nullptr;
}

std::optional<std::string> ReadFileForMessage(const std::string& path) {
    if (!activeScope) return platform::ReadWholeFile(path);
    auto& files = activeScope->files_;
    const auto kept = files.find(path);
    if (kept != files.end()) return kept->second;
    return files.emplace(path, platform::ReadWholeFile(path)).first->second;
}

void ForgetFileForMessage(const std::string& path) {
    if (activeScope) activeScope->files_.erase(path);
}

}  // namespace quillet
