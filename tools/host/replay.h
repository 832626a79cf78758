// Replay files: chat messages for the host to deliver to a plug-in, one JSON object a line.
// The format is described in docs/replay-format.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "plugin/u_plugin_msg.h"

namespace quillet::host {

enum class Direction { Received, Sent };

// One message of a replay file. A text field that the line leaves out is an empty text; one
// that the line gives as null has no value and reaches the plug-in as a null pointer.
struct ReplayMessage {
    Direction direction = Direction::Received;
    std::uint32_t time = 0;  // seconds since 1970-01-01 00:00:00 on the host's clock
    std::optional<std::u16string> protocol{u""};
    std::optional<std::u16string> senderUin{u""};
    std::optional<std::u16string> senderName{u""};
    std::optional<std::u16string> recipientUin{u""};
    std::optional<std::u16string> recipientName{u""};
    std::optional<std::u16string> text{u""};
    bool suppressed = false;
};

// A line that is not a valid message; what() says why, without the line number.
class ReplayLineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The message of one line of a replay file, or nothing for a line to skip (blank, or starting
// with "#" or "//" after leading blanks). A trailing CR is ignored. Throws ReplayLineError
// for anything else that is not a valid message object.
std::optional<ReplayMessage> ParseReplayLine(std::string_view line);

// The host's clock value of "YYYY-MM-DDTHH:MM:SS" (a blank instead of "T" is accepted), taken
// as no particular time zone. Throws ReplayLineError for another form, an impossible date or
// time, or a moment outside 1970-01-01T00:00:00 .. 2106-02-07T06:28:15.
std::uint32_t ParseHostTime(std::string_view text);

// The event code that delivers a message of this direction.
std::int32_t EventCodeFor(Direction direction);

// The host's message record for `message`. Its texts point into `message`, which must outlive
// every use of the record.
TChatMessage ToChatMessage(const ReplayMessage& message);

// A malformed line of a file: what() is "<file>:<line>: <reason>".
class ReplayFileError : public std::runtime_error {
public:
    ReplayFileError(const std::string& message, std::size_t line)
        : std::runtime_error(message), line_(line) {}
    std::size_t line() const { return line_; }

private:
    std::size_t line_;
};

// Reads the messages of a replay file one at a time. A UTF-8 byte-order mark at the start of
// the file is skipped.
class ReplayReader {
public:
    // Throws std::runtime_error when the file cannot be opened.
    explicit ReplayReader(const std::string& path);

    // The next message, or nothing at the end of the file. Throws ReplayFileError for a
    // malformed line and std::runtime_error when reading fails.
    std::optional<ReplayMessage> Next();

    // The number of the line that Next() read last (1 for the first line).
    std::size_t lineNumber() const { return lineNumber_; }

private:
    std::string path_;
    std::ifstream file_;
    std::size_t lineNumber_ = 0;
};

}  // namespace quillet::host
