// What a message would do, told without doing it: where its entry would go and what it would
// add, for the options dialog's Preview page. The path comes from the same composition the
// writer uses; the files are only looked at, and no folder or file is made or changed.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "config/MessageContext.h"
#include "history/EntryEncoding.h"
#include "history/uHistorySave.h"

namespace quillet {

// The longest full path Windows opens without the "\\?\" prefix, in characters.
inline constexpr std::size_t LongestPath = 259;

// The longest folder path Windows creates (CreateDirectory's limit), in characters.
inline constexpr std::size_t LongestFolderPath = 248;

// Why a missing folder cannot be made.
enum class FolderObstacle {
    None,
    FileInTheWay,  // a level of its path is a file
    NotReachable,  // its drive or network share is not there
    TooLong,       // its path is longer than LongestFolderPath
};

struct MessagePreview {
    // The position in the exclusion list of the entry that keeps the message out of the history;
    // when there is one, nothing below is worked out.
    std::optional<std::size_t> excludedBy;
    HistoryPathSteps steps;
    bool folderMissing = false;  // the file's folder does not exist yet and would be made
    FolderObstacle folderObstacle = FolderObstacle::None;  // ...unless this is in the way
    std::string obstacle;         // the file in the way, or the drive or share that is not there
    bool fileHasEntries = false;  // the file exists and is not empty: it keeps its encoding
    EntryEncoding encoding = EntryEncoding::Ansi;  // the entry's
    std::string appended;                          // the bytes the message would add to the file
    bool tooLong = false;                          // the path is longer than LongestPath
};

// The preview of `rec` under `context` (whose exclusion index stands for the exclusion list).
MessagePreview PreviewMessage(const MessageContext& context, const THistoryRec& rec);

}  // namespace quillet
