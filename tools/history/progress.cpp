#include "tools/history/progress.h"

#include <algorithm>
#include <cstdio>

namespace quillet::history_tool {

namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

std::string ProgressLine(std::size_t filesDone, std::size_t totalFiles, std::uint64_t bytes,
                         Progress::Clock::duration elapsed) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    const double megabytes = static_cast<double>(bytes) / (1024.0 * 1024.0);
    char line[96];
    std::snprintf(line, sizeof line, "%zu of %zu files, %.1f MB/s", filesDone, totalFiles,
                  seconds > 0 ? megabytes / seconds : 0.0);
    return line;
}

}  // namespace

Progress::Progress(std::ostream& err, bool enabled, std::size_t totalFiles)
    : err_(err), enabled_(enabled), totalFiles_(totalFiles), start_(Clock::now()) {}

Progress::~Progress() {
    Clear();
}

void Progress::AddBytes(std::uint64_t bytes) {
    bytes_ += bytes;
    MaybeRedraw();
}

void Progress::FileDone() {
    ++filesDone_;
    MaybeRedraw();
}

void Progress::Clear() {
    if (shownWidth_ == 0) return;
    err_ << '\r' << std::string(shownWidth_, ' ') << '\r' << std::flush;
    shownWidth_ = 0;
}

void Progress::MaybeRedraw() {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (now - start_ < kQuietStart || now - lastDrawn_ < kRedrawEvery) return;
    const std::string line = ProgressLine(filesDone_, totalFiles_, bytes_, now - start_);
    err_ << '\r' << line;
    if (line.size() < shownWidth_) err_ << std::string(shownWidth_ - line.size(), ' ');
    err_ << std::flush;
    shownWidth_ = std::max(shownWidth_, line.size());
    lastDrawn_ = now;
}

}  // namespace quillet::history_tool
