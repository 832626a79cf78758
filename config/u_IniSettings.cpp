#include "config/u_IniSettings.h"

#include <functional>
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

// The bytes of a settings file once `texts` are stored in it, key by key; nullopt when that
// changes nothing. Throws IniLineBreakError for a text with a line break.
std::optional<std::string> WithSettingTexts(std::string_view fileBytes, const SettingTexts& texts) {
    std::optional<std::string> written;
    for (const SettingRow& row : SettingsTable) {
        const std::string& text = texts[static_cast<std::size_t>(row.setting)];
        auto next =
            WriteIniTextAnsi(written ? *written : fileBytes, SettingsSection, row.key, text);
        if (next) written = std::move(next);
    }
    return written;
}

// Rewrites the settings file with `edit` (RewriteIniFile). Throws SettingsWriteError, the file
// unchanged, when the system refuses: "Unable to write to <file>" and its reason on a line of
// its own, as in every box that names a file; or ": " and why, for a text that cannot be stored.
void RewriteSettingsFile(const std::function<std::optional<std::string>(std::string_view)>& edit) {
    const std::string fileName = SettingsFileName();
    const std::string failure = "Unable to write to " + fileName;
    try {
        if (std::string reason; !RewriteIniFile(fileName, edit, reason)) {
            throw SettingsWriteError(failure + "\n" + reason);
        }
    } catch (const IniLineBreakError& error) {
        throw SettingsWriteError(failure + ": " + error.what());
    }
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
    try {
        if (const auto written = WithSettingTexts(fileBytes, texts)) return FromFileBytes(*written);
    } catch (const IniLineBreakError&) {
        // WriteSettings refuses it too, and writes nothing.
    }
    return FromFileBytes(fileBytes);
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
    RewriteSettingsFile([&](std::string_view bytes) {
        return WriteIniTextAnsi(bytes, SettingsSection, key, value);
    });
}

void WriteSettings(const SettingTexts& texts) {
    RewriteSettingsFile([&](std::string_view bytes) { return WithSettingTexts(bytes, texts); });
}

std::string ReadIniValue(std::string_view section, std::string_view key,
                         const std::string& fileName) {
    return ReadIniStringA(fileName, section, key, {}, SettingsReadBufferSize);
}

}  // namespace quillet
