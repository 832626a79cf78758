// The interface texts looked up in a hostile language file. Input fields: the language file's
// bytes (ANSI or, after FF FE, UTF-16LE), the text to translate.
// Invariants checked:
//  - no crash, no hang, whatever the file holds;
//  - a translation never holds "/n" (every one becomes a line break, also in the file's text);
//  - with the built-in language the result is the text itself with "/n" turned into LF CR;
//  - a text whose key the file lacks comes back as its trimmed form (with the line breaks),
//    checked through a key that no file entry can hold (it contains "=").
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/platform.h"
#include "ui/LanguageSupport.h"

namespace {

using quillet::fuzz::Check;

std::u16string WithBreaks(std::u16string text) {
    for (std::size_t at = text.find(u"/n"); at != std::u16string::npos;
         at = text.find(u"/n", at + 2)) {
        text.replace(at, 2, u"\n\r");
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& folder = quillet::fuzz::PluginFolder();
    static const bool made = [&] {
        folder.makeFolder("Languages");
        return true;
    }();
    (void)made;
    const auto fields = quillet::fuzz::SplitFields(data, size, 2);
    const std::string& text = fields[1];

    quillet::SetCurrentLanguage(std::u16string(quillet::BuiltInLanguage));
    const std::u16string english = quillet::TranslateStr(text);
    Check(english == WithBreaks(platform::AnsiToWide(text)), "English is the text itself", text);

    folder.write("Languages/Fuzz.ini", fields[0]);
    quillet::SetCurrentLanguage(u"Fuzz.ini");
    const std::u16string translated = quillet::TranslateStr(text);
    Check(translated.find(u"/n") == std::u16string::npos, "a translation holds no /n",
          platform::WideToAnsi(translated));

    const std::u16string missing = quillet::TranslateStr("  No=such/ntext ");
    Check(missing == u"No=such\n\rtext", "a missing entry gives the trimmed text",
          platform::WideToAnsi(missing));
    return 0;
}
