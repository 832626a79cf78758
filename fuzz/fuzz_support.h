// Helpers the fuzz targets share: splitting one input into fields, a scratch folder beside which
// the plug-in's files are written, and a check that stops the run with a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::fuzz {

// The byte that separates the fields of one input (ASCII's record separator).
inline constexpr char kFieldSeparator = '\x1e';

// Exactly `count` fields of the input: its pieces between separators, the last one taking the
// rest (separators included); missing fields are empty.
std::vector<std::string> SplitFields(const std::uint8_t* data, std::size_t size, std::size_t count);

// Prints what failed and the values involved, then aborts, so that libFuzzer keeps the input.
[[noreturn]] void Fail(std::string_view invariant, std::string_view detail);

// Fail when `condition` is false.
inline void Check(bool condition, std::string_view invariant, std::string_view detail = {}) {
    if (!condition) Fail(invariant, detail);
}

// True when a line of an alias file, read as a rule ("left==right", or a line without "=="
// whose whole text becomes two blanks), would make a text longer. A few such rules multiply a
// text's length (the history path goes through the rules twice), so a fuzzed rules file with
// one is skipped: it would only measure the memory limit.
bool HasGrowingRule(std::string_view aliasesFile);

// A folder made once per process under the system's temporary folder, removed at exit. Its name
// holds only letters, digits and "-", so that it cannot itself look like a path trick.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder in the Windows form the plug-in works with ("Z:\tmp\...\"), ending in "\".
    std::string pluginForm() const;
    // Writes `bytes` as the whole of the file `name` ("/"-separated) in the folder; remove
    // deletes it (nothing happens when it is missing).
    void write(std::string_view name, std::string_view bytes) const;
    void remove(std::string_view name) const;
    // Creates a subfolder (no error when it exists).
    void makeFolder(std::string_view name) const;

private:
    std::filesystem::path root_;
};

// The process's scratch folder, with PluginPath pointing at "Quillet.dll" inside it.
const ScratchFolder& PluginFolder();

}  // namespace quillet::fuzz
