// Unit u_IniSettings: the settings store. The plug-in's settings live in the INI file beside the
// library that bears its name (Quillet.dll -> Quillet.ini), section "Settings". Every call reads
// or writes that file anew; nothing is kept, and a value written is seen by the very next read.
// A message reads the file once, into the SettingsValues of its context. All texts are in the
// ANSI code page.
//
// SettingsTable is the one place that spells the keys of the settings file and their defaults;
// the history writer, the folder macros and the options dialog all take them from it.
#pragma once

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillet {

// The settings of section "Settings", in the order the options dialog's "Save" writes them.
enum class Setting : std::size_t {
    PathFolder1,
    PathFolder2,
    PathFile1,
    PathFileExt,
    PathFolderCustom,
    HistoryEncoding,
};
inline constexpr std::size_t SettingCount = 6;

struct SettingRow {
    Setting setting;
    std::string_view key;
    // What the history writer and the folder macros take while the key is missing or empty, and
    // what "Reset to Default" puts back.
    std::string_view defaultValue;
    // The options dialog's control that shows and edits the value.
    std::string_view control;
    // What the dialog shows while the key is missing or empty. It differs from defaultValue for
    // PathFile1 alone: the dialog offers "%PROTOCOL%\%UIN%" there, and "Save" then stores it,
    // while the writer keeps to the deeper default until the user saves.
    std::string_view shownDefault;
    // Whether "Reset to Default" touches the control: the custom folder keeps its text.
    bool resetToDefault;
};

// clang-format off
inline constexpr std::array<SettingRow, SettingCount> SettingsTable = {{
    {Setting::PathFolder1, "PathFolder1", "%QUILLET PATH%", "cbFolder1", "%QUILLET PATH%", true},
    {Setting::PathFolder2, "PathFolder2", "History", "ePath2", "History", true},
    {Setting::PathFile1, "PathFile1", "%PROTOCOL%\\%MYUIN%\\%UIN%", "eFileName",
     "%PROTOCOL%\\%UIN%", true},
    {Setting::PathFileExt, "PathFileExt", "txt", "eExt", "txt", true},
    {Setting::PathFolderCustom, "PathFolderCustom", "C:\\", "eCustomFolder", "C:\\", false},
    {Setting::HistoryEncoding, "HistoryEncoding", "ANSI", "cbUtf8", "ANSI", true},
}};
// clang-format on

// The values of HistoryEncoding that the options dialog's check box writes. New history files are
// written in UTF-8 when the setting is the first, in any letter case, and in the ANSI code page
// for anything else.
inline constexpr std::string_view HistoryEncodingUtf8 = "UTF-8";
inline constexpr std::string_view HistoryEncodingAnsi = "ANSI";

constexpr const SettingRow& RowOf(Setting setting) {
    return SettingsTable[static_cast<std::size_t>(setting)];
}

// The interface language's key, in its own section of the same file (read and written with the
// wide-character INI functions by the language support).
inline constexpr std::u16string_view LanguageSection = u"Translate";
inline constexpr std::u16string_view LanguageKey = u"CurLang";

// The number of characters a read takes in, terminator included: values are cut to 2047.
inline constexpr std::size_t SettingsReadBufferSize = 2048;

// A text for each setting, in the order of the table.
using SettingTexts = std::array<std::string, SettingCount>;

// The settings as one read of the settings file gives them, each as ReadSetting would
// return it with the table's default.
class SettingsValues {
public:
    // The values of a settings file that holds `fileBytes` (empty for a missing file).
    static SettingsValues FromFileBytes(std::string_view fileBytes);

    // The values that file gives once `texts` are written into it as WriteSettings writes them:
    // what the next message takes after the options dialog saves them. When a text cannot be
    // stored (a line break in it), none is, and the values are the file's own.
    static SettingsValues AfterWriting(std::string_view fileBytes, const SettingTexts& texts);

    const std::string& operator[](Setting setting) const {
        return values_[static_cast<std::size_t>(setting)];
    }
    // A value as the options dialog holds it before it is saved: an empty one is the default.
    void Set(Setting setting, std::string value);

    bool operator==(const SettingsValues&) const = default;

private:
    std::array<std::string, SettingCount> values_;
};

// A setting that could not be written. what() is "Unable to write to <settings file>" when the
// file system refused the write, followed by ": " and the reason when the text itself cannot
// be stored (a line break in it).
class SettingsWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// `path` with its extension replaced by ".ini": the extension runs from the last "." that
// follows the last "\" or ":"; a name without one gets ".ini" appended.
std::string IniFileNameFor(std::string_view path);

// The settings file: IniFileNameFor(PluginPath), formed anew at each call.
std::string SettingsFileName();

// The value of `key` in section "Settings" of the settings file, cut to 2047 characters;
// `defaultValue` when the file, the section or the key is missing or the value is empty.
std::string ReadSetting(std::string_view key, std::string_view defaultValue);

// Stores `value`, exactly as given, under `key` in section "Settings" of the settings file,
// creating the file, section or key as needed and replacing an existing value in place.
// Throws SettingsWriteError when the write fails; the file is unchanged then.
void WriteSetting(std::string_view key, std::string_view value);

// Stores each of `texts` under its setting's key as WriteSetting does, with one replace of the
// settings file, as the options dialog's Save does. Throws SettingsWriteError when a text cannot
// be stored or the write fails; nothing is written then.
void WriteSettings(const SettingTexts& texts);

// The value of `key` in `section` of the INI file `fileName` (a full path), cut to 2047
// characters; empty when the file, section or key is missing.
std::string ReadIniValue(std::string_view section, std::string_view key,
                         const std::string& fileName);

}  // namespace quillet
