// Unit u_IniSettings: the settings store. The plug-in's settings live in the INI file beside the
// library that bears its name (Quillet.dll -> Quillet.ini), section "Settings". Every call
// reads or writes that file anew, except that the reads of one message share one read of the
// file (MessageReadCache); nothing is kept between messages, and a value written is seen by the
// very next read. All texts are in the ANSI code page.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillet {

// The number of characters a read takes in, terminator included: values are cut to 2047.
inline constexpr std::size_t SettingsReadBufferSize = 2048;

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

// The value of `key` in `section` of the INI file `fileName` (a full path), cut to 2047
// characters; empty when the file, section or key is missing.
std::string ReadIniValue(std::string_view section, std::string_view key,
                         const std::string& fileName);

}  // namespace quillet
