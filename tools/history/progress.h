// Progress of work that lasts: one line on standard error, redrawn in place, showing the files
// done of all and the reading speed. It appears only after the work has lasted a second, and
// only when it is enabled (standard error is a terminal and the user did not ask for quiet).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

namespace quillet::history_tool {

class Progress {
public:
    using Clock = std::chrono::steady_clock;

    Progress(std::ostream& err, bool enabled, std::size_t totalFiles);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Bytes read since the last call.
    void AddBytes(std::uint64_t bytes);
    // One more file is done.
    void FileDone();
    // Takes the line away, so that other output starts on a clean line; it comes back at the
    // next redraw.
    void Clear();

private:
    void MaybeRedraw();

    std::ostream& err_;
    bool enabled_;
    std::size_t totalFiles_;
    std::size_t filesDone_ = 0;
    std::uint64_t bytes_ = 0;
    Clock::time_point start_;
    Clock::time_point lastDrawn_{};
    std::size_t shownWidth_ = 0;  // characters of the line on screen; 0: none
};

}  // namespace quillet::history_tool
