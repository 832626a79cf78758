// The readers of the alias rules ("aliases.ini") and the exclusion list ("Exclude.ini") on
// hostile file bytes. Input fields: aliases file, exclusion file, a text the rules are applied to.
// Rules files with a rule that lengthens text are skipped (see HasGrowingRule).
// Invariants checked:
//  - no crash, no hang, however the lines end (CR, LF, CR LF, NUL bytes, no final break);
//  - no line that SplitLines returns holds a CR, LF or NUL;
//  - every line of the exclusion file excludes a contact of that identifier (and of that name),
//    through the index a message's context holds;
//  - applying the rules gives the same result twice (the reader keeps no state between calls),
//    and with an empty rules file the text comes back unchanged.
#include <cstdint>
#include <string>

#include "config/MessageContext.h"
#include "config/PluginGlobals.h"
#include "config/StringOps.h"
#include "config/u_SimpleAliases.h"
#include "fuzz_support.h"

namespace {
using quillet::fuzz::Check;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& folder = quillet::fuzz::PluginFolder();
    const auto fields = quillet::fuzz::SplitFields(data, size, 3);
    if (quillet::fuzz::HasGrowingRule(fields[0])) return -1;
    folder.write("aliases.ini", fields[0]);
    folder.write("Exclude.ini", fields[1]);

    const auto lines = quillet::SplitLines(fields[1]);
    for (const std::string& line : lines) {
        Check(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos,
              "a line holds no line break or NUL", line);
    }
    quillet::ReloadLists();
    const auto context = quillet::BuildMessageContext(quillet::PluginPath, quillet::ExcludeList);
    for (const std::string& line : lines) {
        Check(quillet::IsExcluded(*context.exclusions, line, "\x01"),
              "each listed identifier is excluded", line);
        Check(quillet::IsExcluded(*context.exclusions, "\x01", line),
              "each listed name is excluded", line);
    }

    const std::string once = quillet::ApplyAliases(fields[2]);
    Check(quillet::ApplyAliases(fields[2]) == once, "the rules give the same result each time",
          fields[2]);
    if (quillet::AliasFromList.empty())
        Check(once == fields[2], "no rules change nothing", fields[2]);
    return 0;
}
