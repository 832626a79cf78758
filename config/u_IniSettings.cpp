#include "config/u_IniSettings.h"

#include "config/IniFile.h"
#include "config/MessageReadCache.h"
#include "plugin/main.h"

namespace quillet {

namespace {
constexpr std::string_view SettingsSection = "Settings";
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
    const auto bytes = ReadFileForMessage(SettingsFileName());
    std::string value = ReadIniTextAnsi(bytes.value_or(std::string()), SettingsSection, key,
                                        defaultValue, SettingsReadBufferSize);
    return value.empty() ? std::string(defaultValue) : value;
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
