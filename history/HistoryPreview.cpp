#include "history/HistoryPreview.h"

#include <algorithm>

#include "config/StringOps.h"
#include "platform/platform.h"

namespace quillet {

namespace {

// Where the levels of a folder path below its drive or share begin: after "X:\", or after
// "\\server\share\" (which cannot be made, only reached).
std::size_t FirstMadeLevel(const std::string& folder) {
    if (folder.rfind("\\\\", 0) != 0) return std::min(folder.find(":\\"), folder.size()) + 2;
    const std::size_t server = FindCharOf(folder, "\\", 2);
    const std::size_t share =
        server == std::string::npos ? server : FindCharOf(folder, "\\", server + 1);
    return share == std::string::npos ? folder.size() : share + 1;
}

// What would stop the writer from making the missing folder `folder` (ending in "\"), looked
// at without making anything: its drive or share, then each level down to the first missing.
void FindFolderObstacle(const std::string& folder, MessagePreview& preview) {
    if (platform::AnsiToWide(folder).size() > LongestFolderPath + 1) {
        preview.folderObstacle = FolderObstacle::TooLong;
        return;
    }
    const std::size_t first = FirstMadeLevel(folder);
    if (first <= folder.size() && !platform::FolderExists(folder.substr(0, first))) {
        preview.folderObstacle = FolderObstacle::NotReachable;
        preview.obstacle = folder.substr(0, first);
        return;
    }
    for (std::size_t end = FindCharOf(folder, "\\", first); end != std::string::npos;
         end = FindCharOf(folder, "\\", end + 1)) {
        const std::string level = folder.substr(0, end);
        if (platform::FileExists(level)) {
            preview.folderObstacle = FolderObstacle::FileInTheWay;
            preview.obstacle = level;
            return;
        }
        if (!platform::FolderExists(level)) return;
    }
}

}  // namespace

MessagePreview PreviewMessage(const MessageContext& context, const THistoryRec& rec) {
    MessagePreview preview;
    preview.excludedBy = ExcludingEntry(*context.exclusions, platform::WideToAnsi(rec.ContactUIN),
                                        platform::WideToAnsi(rec.ContactName));
    if (preview.excludedBy) return preview;

    preview.steps = ComposeHistoryPath(context, rec);
    const std::string& path = preview.steps.path;
    preview.folderMissing = !platform::FolderExists(FolderOf(path));
    if (preview.folderMissing) FindFolderObstacle(FolderOf(path), preview);
    // Nothing for a file that is missing, a folder, or one that cannot be read.
    const std::string head = platform::ReadFileStart(path, EncodingHeadSize).value_or("");
    preview.fileHasEntries = !head.empty();
    preview.encoding =
        EncodingOfFile(head, EncodingForNewFiles(context.settings[Setting::HistoryEncoding]));
    preview.tooLong = platform::AnsiToWide(path).size() > LongestPath;
    return preview;
}

}  // namespace quillet
