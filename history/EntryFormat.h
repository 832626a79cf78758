// The layout of one history entry, shared by the writer that appends it and the reader that reads
// it back: a separator line that tells the direction, the name line "NAME (TIME DATE)", the
// message text, an empty line, CR LF after each.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet {

enum class EntryDirection { Received, Sent };

inline constexpr std::string_view EntryLineEnd = "\r\n";
inline constexpr std::size_t SeparatorHyphens = 38;
inline constexpr std::string_view ReceivedSeparator = "--------------------------------------<-";
inline constexpr std::string_view SentSeparator = "-------------------------------------->-";

constexpr std::string_view SeparatorOf(EntryDirection direction) {
    return direction == EntryDirection::Received ? ReceivedSeparator : SentSeparator;
}

// The entry's bytes from its parts, each already in the file's encoding: `when` is the time and
// the date as the name line shows them ("14:05:09 07/12/2007").
std::string EntryBytes(EntryDirection direction, std::string_view name, std::string_view when,
                       std::string_view text);

}  // namespace quillet
