// Unit uHistorySave: the history writer, its contact macros and file-name cleaning.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/MessageContext.h"
#include "history/EntryEncoding.h"
#include "platform/platform.h"

namespace quillet {

// One chat message as the history writer needs it, seen from the user's side: the contact is
// the other party.
struct THistoryRec {
    std::u16string Protocol;
    std::u16string ContactUIN;
    std::u16string ContactName;
    std::u16string MyUIN;
    std::u16string MyName;
    std::u16string MsgText;
    bool Incoming = false;
    double MsgTime = 0;  // days since 1899-12-30 00:00
    bool Outgoing = false;
};

// The macros whose values come from the message, in the order they are replaced: the message's
// own date (year in four digits, month and day in two), then the contact's and the user's
// identities. The dates go first, so that a name holding "%YEAR%" stays as it is. The folder
// that history lies below ends before the first of them (HistoryFiles.h).
inline constexpr std::array<std::string_view, 8> MessageMacroNames = {
    "%YEAR%", "%MONTH%", "%DAY%", "%PROTOCOL%", "%CONTACTNAME%", "%UIN%", "%MYUIN%", "%MYNAME%"};

// PathFolder1\PathFolder2\PathFile1.PathFileExt of the settings: the template of every history
// file's path.
std::string JoinedPathTemplate(const SettingsValues& settings);

// The template with the MessageMacroNames (exactly, in upper case) replaced, in that order, by the
// record's values in the ANSI code page; a macro is replaced only when the incoming template
// names it. The values are made safe first: a piece
// of a name that is only dots and blanks cannot climb out of its folder, and control characters,
// which Windows refuses in names, become "_".
std::string ExpandContactMacros(const std::string& pathTemplate, const THistoryRec& rec);

// The path with "/", ":", "*", "?", '"', "<", ">" and "|" replaced by "_"; when the path begins
// with a drive (its first ":\" among its first three characters) those three stay as they are.
// Cleaning a cleaned path changes nothing.
std::string CleanFileName(const std::string& path);

// The path of a record's history file, step by step.
struct HistoryPathSteps {
    std::string joined;                       // the four path settings joined
    std::string expanded;                     // folder macros, then contact macros
    std::string firstPass;                    // the alias rules applied once
    std::string secondPass;                   // and once more
    std::string cleaned;                      // characters Windows forbids in names replaced
    std::string trimmed;                      // folder levels as Windows makes them
    std::string path;                         // device names protected: the file's path
    std::vector<std::size_t> firstPassRules;  // the rules that changed the path, by position
    std::vector<std::size_t> secondPassRules;
};

// The steps to the full path of the record's history file under the context's settings and
// rules. Creates no folder and touches no file, so it also tells where a message would go
// under values not yet saved.
HistoryPathSteps ComposeHistoryPath(const MessageContext& context, const THistoryRec& rec);

// The last of those steps: the path the entry is appended to.
std::string HistoryFilePath(const MessageContext& context, const THistoryRec& rec);

// The four-line entry, CR LF after each line, in `encoding`.
std::string FormatHistoryEntry(const THistoryRec& rec, const platform::TimeFormat& timeFormat,
                               EntryEncoding encoding = EntryEncoding::Ansi);

// Appends the record's entry to the file HistoryFilePath names, creating the missing folders
// outermost first, in the file's own encoding (for a new or empty file, the one the setting
// HistoryEncoding chooses; a new UTF-8 file begins with the byte-order mark). False when a
// folder cannot be created (nothing is then opened or written); throws platform::SystemError,
// whose path is the history file's, when the file cannot be opened or written (the file is
// closed either way, and keeps no part of the entry).
bool SaveHistory(const MessageContext& context, const THistoryRec& rec);

// The same, telling in `folderError` which folder could not be created and why.
bool SaveHistory(const MessageContext& context, const THistoryRec& rec,
                 std::optional<platform::SystemError>& folderError);

// The same with the context of the library's PluginPath and ExcludeList, built for this call.
bool SaveHistory(THistoryRec rec);

}  // namespace quillet
