#include "history/EntryFormat.h"

#include "config/StringOps.h"

namespace quillet {

std::string EntryBytes(EntryDirection direction, std::string_view name, std::string_view when,
                       std::string_view text) {
    const std::string_view pieces[] = {
        SeparatorOf(direction), EntryLineEnd, name,         " (",        when, ")",
        EntryLineEnd,           text,         EntryLineEnd, EntryLineEnd};
    // Every message builds one.
    return Concatenated(pieces);
}

}  // namespace quillet
