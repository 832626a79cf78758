// quillet-language-template: lists the texts the options dialog translates, as the [Dict] keys of
// a language file, and writes the template a new translation starts from, or brings an
// existing translation up to date with the dialog.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>

#include "platform/host.h"
#include "tools/host/utf.h"
#include "tools/translator/language_template.h"

namespace {

using quillet::host::Utf16ToUtf8;
using quillet::host::Utf8ToUtf16;
namespace translator = quillet::translator;

std::optional<std::string> ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WriteFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

void ListKeys() {
    for (const std::u16string& key : translator::DialogKeys()) {
        std::cout << Utf16ToUtf8(key) << '\n';
    }
    for (const std::string& text : translator::UntranslatableTexts()) {
        std::cerr << "cannot be translated (no language file can hold its key): " << text << '\n';
    }
}

// The template for `file`, or `file` brought up to date when it exists and `update` is set.
int Write(const std::filesystem::path& file, bool update) {
    const std::u16string name = Utf8ToUtf16(file.stem().string());
    std::optional<std::string> existing;
    if (update) {
        existing = ReadFile(file);
        if (!existing) {
            std::cerr << "cannot read " << file.string() << '\n';
            return 1;
        }
        for (const std::u16string& key : translator::StaleKeys(*existing)) {
            std::cerr << "dropped, the dialog no longer shows it: " << Utf16ToUtf8(key) << '\n';
        }
    } else if (std::filesystem::exists(file)) {
        std::cerr << file.string() << " exists: pass --update to keep its translations\n";
        return 1;
    }
    const translator::LanguageFile content = translator::MakeTemplate(name, existing);
    if (!WriteFile(file, translator::LanguageFileBytes(content))) {
        std::cerr << "cannot write " << file.string() << '\n';
        return 1;
    }
    std::size_t open = 0;
    for (const auto& entry : content.dict) open += entry.second.empty() ? 1 : 0;
    std::cerr << file.string() << ": " << content.dict.size() << " texts, " << open
              << " to translate\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string file;
    bool update = false;
    CLI::App app{
        "Lists the texts the Quillet options dialog translates, one [Dict] key a line, and with a "
        "file name writes the template of a language file (UTF-16LE, docs/languages.md) with "
        "every key and an empty translation."};
    app.add_option("file", file, "the language file to write, such as Languages/Spanish.ini");
    app.add_flag("--update", update,
                 "the file exists: keep its translations, add the texts it lacks with an empty "
                 "translation and drop those the dialog no longer shows")
        ->needs(app.get_option("file"));
    CLI11_PARSE(app, argc, argv);

    platform::UseUtf8Console();
    if (file.empty()) {
        ListKeys();
        return 0;
    }
    return Write(file, update);
}
