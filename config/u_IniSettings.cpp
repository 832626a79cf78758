#include "config/u_IniSettings.h"

#include <optional>
#include <utility>

#include "config/IniFile.h"
#include "config/PluginGlobals.h"
#include "config/StringOps.h"
#include "platform/platform.h"

namespace quillet {

namespace {
constexpr std::string_view SettingsSection = "Settings";

// The value of `key` in the settings file's bytes, or `defaultValue` for a missing or empty one.
std::string SettingFromBytes(std::string_view fileBytes, std::string_view key,
                             std::string_view defaultValue) {
    std::string value =
        ReadIniTextAnsi(fileBytes, SettingsSection, key, defaultValue, SettingsReadBufferSize);
    return value.empty() ? std::string(defaultValue) : value;
}
}  // namespace

SettingsValues SettingsValues::FromFileBytes(std::string_view fileBytes) {
    SettingsValues values;
    for (const SettingRow& row : SettingsTable) {
        values.Set(row.setting, SettingFromBytes(fileBytes, row.key, row.defaultValue));
    }
    return values;
}

SettingsValues SettingsValues::AfterWriting(std::string_view fileBytes, const SettingTexts& texts) {
    std::string bytes(fileBytes);
    for (const SettingRow& row : SettingsTable) {
        try {
            const std::string& text = texts[static_cast<std::size_t>(row.setting)];
            if (auto written = WriteIniTextAnsi(bytes, SettingsSection, row.key, text)) {
                bytes = std::move(*written);
            }
        } catch (const IniLineBreakError&) {
            // WriteSetting refuses it too: the file keeps its value.
        }
    }
    return FromFileBytes(bytes);
}

void SettingsValues::Set(Setting setting, std::string value) {
    if (value.empty()) value = RowOf(setting).defaultValue;
    values_[static_cast<std::size_t>(setting)] = std::move(value);
}

std::string IniFileNameFor(std::string_view path) {
    return WithExtension(path, ".ini");
}

std::string SettingsFileName() {
    return IniFileNameFor(PluginPath);
}

std::string ReadSetting(std::string_view key, std::string_view defaultValue) {
    const std::optional<std::string> bytes = platform::ReadWholeFile(SettingsFileName());
    return SettingFromBytes(bytes.value_or(std::string()), key, defaultValue);
}

void WriteSetting(std::string_view key, std::string_view value) {
    const std::string fileName = SettingsFileName();
    const std::string failure = "Unable to write to " + fileName;
    try {
        // The system's reason follows on a line of its own, as in every box that names a file.
        if (std::string reason; !WriteIniStringA(fileName, SettingsSection, key, value, reason)) {
            throw SettingsWriteError(failure + "\n" + reason);
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
