#include "history/EntryFormat.h"

namespace quillet {

std::string EntryBytes(EntryDirection direction, std::string_view name, std::string_view when,
                       std::string_view text) {
    const std::string_view separator = SeparatorOf(direction);
    std::string entry;
    entry.reserve(separator.size() + name.size() + when.size() + text.size() + 11);
    entry += separator;
    entry += EntryLineEnd;
    entry += name;
    entry += " (";
    entry += when;
    entry += ")";
    entry += EntryLineEnd;
    entry += text;
    entry += EntryLineEnd;
    entry += EntryLineEnd;
    return entry;
}

}  // namespace quillet
