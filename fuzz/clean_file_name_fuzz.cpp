// The pure path rules on hostile text: contact macros, file-name cleaning, dot segments and
// device names. Input fields: template, protocol, contact identifier, contact name, own
// identifier, own name (all in the ANSI code page).
// Invariants checked:
//  - no crash, no hang;
//  - cleaning is idempotent, and a cleaned path holds none of / : * ? " < > | after its drive
//    (a ":\" among its first three characters);
//  - the device-name rule and the dot-segment rule are idempotent;
//  - no "\"-separated piece of a neutralized value is made only of dots and blanks with a dot
//    in it (such a piece names the folder itself or its parent on Windows);
//  - a template without "%" comes back from ExpandContactMacros unchanged.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "history/PathSafety.h"
#include "history/uHistorySave.h"
#include "platform/platform.h"

namespace {

using quillet::fuzz::Check;

bool IsDotSegment(std::string_view piece) {
    return piece.find('.') != std::string_view::npos &&
           piece.find_first_not_of(". ") == std::string_view::npos;
}

void CheckNoDotSegment(const std::string& text, std::string_view what) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\\', start);
        const std::string_view piece = std::string_view(text).substr(start, end - start);
        Check(!IsDotSegment(piece), what, text);
        if (end == std::string::npos) return;
        start = end + 1;
    }
}

void CheckCleaned(const std::string& cleaned) {
    const std::size_t from = cleaned.find(":\\") <= 1 ? 3 : 0;
    const std::string_view rest = std::string_view(cleaned).substr(std::min(from, cleaned.size()));
    Check(rest.find_first_of("/:*?\"<>|") == std::string_view::npos,
          "cleaning leaves no reserved character", cleaned);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto fields = quillet::fuzz::SplitFields(data, size, 6);

    const std::string cleaned = quillet::CleanFileName(fields[0]);
    Check(quillet::CleanFileName(cleaned) == cleaned, "cleaning is idempotent", fields[0]);
    CheckCleaned(cleaned);
    const std::string protectedPath = quillet::ProtectDeviceNames(fields[0]);
    Check(quillet::ProtectDeviceNames(protectedPath) == protectedPath,
          "the device-name rule is idempotent", fields[0]);
    for (const std::string& value : fields) {
        const std::string neutral = quillet::NeutralizeDotSegments(value);
        CheckNoDotSegment(neutral, "a neutralized value has no dot segment");
        Check(quillet::NeutralizeDotSegments(neutral) == neutral, "neutralizing is idempotent",
              value);
    }

    quillet::THistoryRec rec;
    rec.Protocol = platform::AnsiToWide(fields[1]);
    rec.ContactUIN = platform::AnsiToWide(fields[2]);
    rec.ContactName = platform::AnsiToWide(fields[3]);
    rec.MyUIN = platform::AnsiToWide(fields[4]);
    rec.MyName = platform::AnsiToWide(fields[5]);
    const std::string expanded = quillet::ExpandContactMacros(fields[0], rec);
    if (fields[0].find('%') == std::string::npos) {
        Check(expanded == fields[0], "a template without macros stays as it is", fields[0]);
    }
    const std::string composed = quillet::ProtectDeviceNames(quillet::CleanFileName(expanded));
    Check(quillet::CleanFileName(composed) == composed, "a composed path is already clean",
          composed);
    return 0;
}
