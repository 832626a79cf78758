#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "config/StringOps.h"
#include "plugin/main.h"

namespace quillet::fuzz {

namespace fs = std::filesystem;

std::vector<std::string> SplitFields(const std::uint8_t* data, std::size_t size,
                                     std::size_t count) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (fields.size() + 1 < count) {
        const std::size_t end = input.find(kFieldSeparator, start);
        if (end == std::string_view::npos) break;
        fields.emplace_back(input.substr(start, end - start));
        start = end + 1;
    }
    fields.emplace_back(start <= input.size() ? input.substr(start) : std::string_view());
    fields.resize(count);
    return fields;
}

bool HasGrowingRule(std::string_view aliasesFile) {
    for (const std::string& line : SplitLines(aliasesFile)) {
        const std::size_t separator = line.find("==");
        const std::size_t left = separator == std::string::npos ? line.size() : separator;
        const std::size_t right = separator == std::string::npos ? 2 : line.size() - separator - 2;
        if (left > 0 && right > left) return true;
    }
    return false;
}

void Fail(std::string_view invariant, std::string_view detail) {
    std::fprintf(stderr, "invariant broken: %.*s\n%.*s\n", static_cast<int>(invariant.size()),
                 invariant.data(), static_cast<int>(detail.size()), detail.data());
    std::abort();
}

ScratchFolder::ScratchFolder() {
    root_ = fs::temp_directory_path() / ("quillet-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(root_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

std::string ScratchFolder::pluginForm() const {
    std::string text = root_.string();
    for (char& c : text) {
        if (c == '/') c = '\\';
    }
    return "Z:" + text + "\\";
}

void ScratchFolder::write(std::string_view name, std::string_view bytes) const {
    std::ofstream out(root_ / fs::path(name), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) Fail("the scratch folder takes files", std::string(name));
}

void ScratchFolder::remove(std::string_view name) const {
    std::error_code ignored;
    fs::remove(root_ / fs::path(name), ignored);
}

void ScratchFolder::makeFolder(std::string_view name) const {
    fs::create_directories(root_ / fs::path(name));
}

const ScratchFolder& PluginFolder() {
    static const ScratchFolder folder;
    static const bool pointed = [] {
        PluginPath = folder.pluginForm() + "Quillet.dll";
        return true;
    }();
    (void)pointed;
    return folder;
}

}  // namespace quillet::fuzz
