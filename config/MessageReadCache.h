// Unit MessageReadCache: the files one message reads, read once per message. The history writer
// reads the settings file five times and "aliases.ini" twice for every message; while a
// MessageReadScope lives those reads share one read of each file. Outside a scope every read goes
// to the disk, so a change saved between two messages is seen by the next one.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace quillet {

// Keeps the bytes of each file read through ReadFileForMessage for as long as it lives. Only the
// outermost of nested scopes keeps anything; an inner one changes nothing. The host delivers
// message events on one thread, and a scope belongs to that thread's current event.
class MessageReadScope {
public:
    MessageReadScope();
    ~MessageReadScope();
    MessageReadScope(const MessageReadScope&) = delete;
    MessageReadScope& operator=(const MessageReadScope&) = delete;

private:
    friend std::optional<std::string> ReadFileForMessage(const std::string& path);
    friend void ForgetFileForMessage(const std::string& path);
    bool outermost_;
    std::map<std::string, std::optional<std::string>> files_;
};

// The whole content of `path` (Windows form) as platform::ReadWholeFile gives it (nullopt for a
// missing or unreadable file); inside a scope the first read of a path is kept and returned again.
std::optional<std::string> ReadFileForMessage(const std::string& path);

// Drops what the current scope keeps of `path`, for a writer that has just changed the file.
void ForgetFileForMessage(const std::string& path);

}  // namespace quillet
