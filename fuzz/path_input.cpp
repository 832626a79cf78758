#include "path_input.h"

#include "fuzz_support.h"
#include "platform/platform.h"

namespace quillet::fuzz {

namespace {
constexpr const char* kContactMacros[] = {"%PROTOCOL%", "%CONTACTNAME%", "%UIN%", "%MYUIN%",
                                          "%MYNAME%"};

// A template from fuzzed text: safe characters kept, each other byte turned into one of the
// contact macros (chosen by its value).
std::string SafeTemplate(const std::string& text) {
    std::string result;
    for (unsigned char c : text) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == ' ' || c == '_' || c == '-' || c == '\\';
        if (safe) {
            result += static_cast<char>(c);
        } else {
            result += kContactMacros[c % 5];
        }
    }
    return result;
}
}  // namespace

std::string PathInput::SettingsFile() const {
    return "[Settings]\r\nPathFolder1=" + templates[0] + "\r\nPathFolder2=" + templates[1] +
           "\r\nPathFile1=" + templates[2] + "\r\nPathFileExt=" + templates[3] + "\r\n";
}

std::optional<PathInput> ReadPathInput(const std::uint8_t* data, std::size_t size) {
    const auto fields = SplitFields(data, size, 10);
    PathInput input;
    input.hostile = !fields[0].empty() && (static_cast<unsigned char>(fields[0][0]) & 1) != 0;
    if (input.hostile) {
        if (HasGrowingRule(fields[4])) return std::nullopt;
        input.templates = {fields[0].substr(1), fields[1], fields[2], fields[3]};
        input.aliasesFile = fields[4];
    } else {
        input.templates = {"%QUILLET PATH%", SafeTemplate(fields[1]), SafeTemplate(fields[2]),
                           SafeTemplate(fields[3])};
    }
    input.rec.Protocol = platform::AnsiToWide(fields[5]);
    input.rec.ContactUIN = platform::AnsiToWide(fields[6]);
    input.rec.ContactName = platform::AnsiToWide(fields[7]);
    input.rec.MyUIN = platform::AnsiToWide(fields[8]);
    input.rec.MyName = platform::AnsiToWide(fields[9]);
    return input;
}

}  // namespace quillet::fuzz
