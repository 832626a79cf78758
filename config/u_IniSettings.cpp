#include "config/u_IniSettings.h"

#include <map>
#include <optional>
#include <utility>

#include "config/IniFile.h"
#include "config/MessageReadCache.h"
#include "platform/platform.h"
#include "plugin/main.h"

namespace quillet {

namespace {
constexpr std::string_view SettingsSection = "Settings";

// The values looked up in the settings file, for the bytes (and code page) they were looked up
// in. The file is read for every message; a value is looked up again only when it changed.
struct LookedUpValues {
    std::optional<std::string> fileBytes;
    unsigned codePage = 0;
    std::map<std::pair<std::string, std::string>, std::string> byKeyAndDefault;
};
LookedUpValues lookedUp;
}  // namespace

std::string IniFileNameFor(std::string_view path) {
    const auto lastSeparator = path.find_last_of("\\:");
    const auto lastDot = path.rfind('.');
    const bool hasExtension = lastDot != std::string_view::npos &&
                              (lastSeparator == std::string_view::npos || lastDot > lastSeparator);
    return std::string(hasExtension ? path.substr(0, lastDot) : path) + ".ini";
}

std::string SettingsFileName() {
    return IniFileNameFor(PluginPath);
}

std::string ReadSetting(std::string_view key, std::string_view defaultValue) {
    auto bytes = ReadFileForMessage(SettingsFileName());
    const unsigned codePage = platform::AnsiCodePage();
    if (bytes != lookedUp.fileBytes || codePage != lookedUp.codePage) {
        lookedUp = {std::move(bytes), codePage, {}};
    }
    auto [entry, isNew] =
        lookedUp.byKeyAndDefault.try_emplace({std::string(key), std::string(defaultValue)});
    if (isNew) {
        const std::string value =
            ReadIniTextAnsi(lookedUp.fileBytes.value_or(std::string()), SettingsSection, key,
                            defaultValue, SettingsReadBufferSize);
        entry->second = value.empty() ? std::string(defaultValue) : value;
    }
    return entry->second;
}

void WriteSetting(std::string_view key, std::string_view value) {
    const std::string fileName = SettingsFileName();
    const std::string failure = "Unable to write to " + fileName;
    ForgetFileForMessage(fileName);
    try {
        if (!WriteIniStringA(fileName, SettingsSection, key, value)) {
            throw SettingsWriteError(failure);
        }
    } catch (const IniLineBreakError& error) {
        throw SettingsWriteError(failure + ": " + error.what());
    }
}

std::string ReadIniValue(std::string_view section, std::string_view key,
                         const std::string& fileName) {
    return ReadIniStringA(fileName, section, key, {}, SettingsReadBufferSize);
}

}  // namespace quillet
