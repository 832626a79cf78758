// Where quillet-history's output goes: standard output and standard error through the platform
// layer (Unicode in a console window, UTF-8 bytes to files and pipes), or a file it writes.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

#include "platform/host.h"
#include "platform/platform.h"

namespace quillet::history_tool {

// A stream buffer that hands what is written to it to `write` in pieces that end with a whole
// UTF-8 sequence: when `capacity` bytes have gathered, at a flush, and after each line when
// `lineBuffered`. Once `write` has failed, nothing more is written and failed() is true.
class Utf8Sink : public std::streambuf {
public:
    using Writer = std::function<bool(std::string_view bytes)>;
    Utf8Sink(Writer write, std::size_t capacity, bool lineBuffered);
    ~Utf8Sink() override;

    bool failed() const { return failed_; }
    // Writes everything held, a sequence cut short at the end too.
    void Finish();

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* bytes, std::streamsize count) override;
    int sync() override;

private:
    void Drain(bool whole);

    Writer write_;
    std::size_t capacity_;
    bool lineBuffered_;
    std::string held_;
    bool failed_ = false;
};

// Standard output or standard error as a stream; line by line when it is a terminal.
class StandardOutput : public std::ostream {
public:
    explicit StandardOutput(platform::StandardStream stream);
    ~StandardOutput() override;
    bool failed() { return sink_.failed(); }
    void Finish() { sink_.Finish(); }

private:
    Utf8Sink sink_;
};

// A file made anew (or emptied) at `path` (platform form) and written in pieces, each appended
// whole or not at all. The constructor throws platform::SystemError when the file cannot be
// made; a later failure ends the writing and is kept in error().
class FileOutput : public std::ostream {
public:
    explicit FileOutput(std::string path);
    ~FileOutput() override;
    // Writes what is held; the failure, if any.
    const std::optional<platform::SystemError>& Finish();

private:
    bool Append(std::string_view bytes);

    std::string path_;
    std::optional<platform::SystemError> error_;
    Utf8Sink sink_;
};

// How many of the first bytes of `bytes` end with a whole UTF-8 sequence (all of them unless
// the last sequence is cut short).
std::size_t WholeSequencesLength(std::string_view bytes);

}  // namespace quillet::history_tool
