// What one input of the two path targets (history_path, history_path_files) stands for: the
// settings file's four templates, an aliases file and a message's fields.
// Input fields: the first (its first byte is the mode, the rest PathFolder1 in the hostile
// mode), PathFolder2, PathFile1, PathFileExt, the aliases file, protocol, contact identifier,
// contact name, own identifier, own name.
//
// Hostile mode (mode byte odd): the four templates go into the settings file as they come
// (blanks, quotes, environment variables, folder macros and all) and the aliases file holds the
// fuzzed rules (an input with a rule that lengthens text is skipped, see HasGrowingRule).
// Safe mode (mode byte even): PathFolder1 is "%QUILLET PATH%", the other three templates keep
// only letters, digits, blanks, "_", "-", "\" and the five contact macros (every other byte
// becomes one of them), and there is no aliases file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "history/uHistorySave.h"

namespace quillet::fuzz {

struct PathInput {
    bool hostile = false;
    // PathFolder1, PathFolder2, PathFile1, PathFileExt.
    std::array<std::string, 4> templates;
    std::optional<std::string> aliasesFile;  // nullopt: no file
    THistoryRec rec;

    // The settings file that holds the templates.
    std::string SettingsFile() const;
};

// The input's meaning; nullopt for an input that is skipped.
std::optional<PathInput> ReadPathInput(const std::uint8_t* data, std::size_t size);

}  // namespace quillet::fuzz
