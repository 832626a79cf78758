// INI files read and written the way the Windows private-profile functions
// (GetPrivateProfileStringA/W, WritePrivateProfileStringA/W) treat them, without calling them.
//
// Reading: a file that starts with the bytes FF FE is UTF-16LE, any other file is in the ANSI
// code page. Lines end at CR, LF or CR LF. A trimmed line that starts with "[" opens a section
// whose name runs to the first "]"; one that starts with ";" is a comment; any other non-blank
// line is an entry, split at its first "=" (an entry without "=" has no value). Names and values
// lose blanks (tab, LF, VT, FF, CR, space) at both ends, names match without regard to case
// under the user's locale, and the first matching section and the first matching key in it
// win. A value ends at a NUL, and one enclosed in a pair of equal quotes (" or ') loses them.
//
// Writing edits the file in place: an existing key's line becomes "key=value" with the key
// spelled as in the file, a new key goes after the last entry of the first matching section, a
// new section goes at the end; every other byte stays as it was. A UTF-16LE file stays UTF-16LE,
// any other file (and a new one) is written in the ANSI code page.
//
// The text functions work on a file's bytes and touch no file; the file functions read or write
// one file per call through the platform layer and keep nothing open or cached.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// A section name, key or value that holds a CR or LF: written out it would end its line and
// turn the rest into lines of their own, so the writer refuses it. what() names the key and
// section and says which of the three holds the line break.
class IniLineBreakError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// True when a file's bytes begin with the UTF-16LE byte-order mark FF FE.
bool StartsWithUtf16Mark(std::string_view bytes);

// The bytes of a UTF-16LE file holding `text`: the byte-order mark, then each unit, low byte
// first.
std::string Utf16LeFileBytes(std::u16string_view text);

// ---- Text functions ----------------------------------------------------------------------------

// What GetPrivateProfileStringW would copy into a buffer of `bufferSize` characters when the
// file holds `fileBytes`: the key's value, or `defaultValue` without its trailing spaces when
// the section or key is missing or the entry has no "=", cut to bufferSize - 1 characters
// (empty for a size of 0). `section` and `key` lose their leading and trailing spaces first;
// every argument ends at its first NUL, as a C string would.
std::u16string ReadIniText(std::string_view fileBytes, std::u16string_view section,
                           std::u16string_view key, std::u16string_view defaultValue,
                           std::size_t bufferSize);

// The same read as GetPrivateProfileStringA does it: the arguments are converted from the ANSI
// code page and the result to it (characters it lacks become its default character), cut to at
// most bufferSize - 1 bytes without splitting a character.
std::string ReadIniTextAnsi(std::string_view fileBytes, std::string_view section,
                            std::string_view key, std::string_view defaultValue,
                            std::size_t bufferSize);

// The names of the entries of the first section named `section`, in the file's order, as
// GetPrivateProfileStringW lists them when asked for no key: every entry line, also one
// without "=" and one whose name repeats an earlier one. Empty when the section is missing.
std::vector<std::u16string> ReadIniKeys(std::string_view fileBytes, std::u16string_view section);

// The bytes the file must hold after writing `value` under `key` in `section` (created as
// needed), given that it holds `fileBytes` now (empty for a missing file); nullopt when the
// file already holds exactly that value, so that it need not be written at all. The value is
// stored as given; section and key lose their leading and trailing spaces. Throws
// IniLineBreakError when the section, key or value holds a CR or LF.
std::optional<std::string> WriteIniText(std::string_view fileBytes, std::u16string_view section,
                                        std::u16string_view key, std::u16string_view value);

// WriteIniText with the arguments converted from the ANSI code page, as WritePrivateProfileStringA
// converts them.
std::optional<std::string> WriteIniTextAnsi(std::string_view fileBytes, std::string_view section,
                                            std::string_view key, std::string_view value);

// ---- File functions ----------------------------------------------------------------------------
// `fileName` is a full path in the Windows form and the ANSI code page. A missing or unreadable
// file reads as an empty one.

// ReadIniText of the file's bytes (GetPrivateProfileStringW).
std::u16string ReadIniStringW(const std::string& fileName, std::u16string_view section,
                              std::u16string_view key, std::u16string_view defaultValue,
                              std::size_t bufferSize);

// ReadIniTextAnsi of the file's bytes (GetPrivateProfileStringA).
std::string ReadIniStringA(const std::string& fileName, std::string_view section,
                           std::string_view key, std::string_view defaultValue,
                           std::size_t bufferSize);

// Writes one key as WriteIniText describes (WritePrivateProfileStringW). Returns true when the
// file holds the value afterwards (also when it already did and was left untouched) and false
// when the platform refuses the write (a read-only file, a folder of that name, a missing
// folder) or when an existing file cannot be read; the file is unchanged then. Throws
// IniLineBreakError, before touching the file, for a CR or LF in section, key or value.
bool WriteIniStringW(const std::string& fileName, std::u16string_view section,
                     std::u16string_view key, std::u16string_view value);

// The same, putting into `reason` why a write was refused: the system's words, or that the
// file exists but cannot be read.
bool WriteIniStringW(const std::string& fileName, std::u16string_view section,
                     std::u16string_view key, std::u16string_view value, std::string& reason);

// Replaces the INI file `fileName` with what `edit` makes of its bytes (empty for a missing
// file), in one replace, and leaves it alone when `edit` gives nullopt. Returns false, with the
// system's words or that the file exists but cannot be read in `reason`, when the write is
// refused; the file is unchanged then. What `edit` throws passes on before the file is touched.
bool RewriteIniFile(const std::string& fileName,
                    const std::function<std::optional<std::string>(std::string_view)>& edit,
                    std::string& reason);

// WriteIniStringW with the arguments converted from the ANSI code page
// (WritePrivateProfileStringA).
bool WriteIniStringA(const std::string& fileName, std::string_view section, std::string_view key,
                     std::string_view value);
bool WriteIniStringA(const std::string& fileName, std::string_view section, std::string_view key,
                     std::string_view value, std::string& reason);

}  // namespace quillet
