#include "history/HistoryPreview.h"

#include "config/StringOps.h"
#include "platform/platform.h"

namespace quillet {

MessagePreview PreviewMessage(const MessageContext& context, const THistoryRec& rec) {
    MessagePreview preview;
    preview.excludedBy = ExcludingEntry(*context.exclusions, platform::WideToAnsi(rec.ContactUIN),
                                        platform::WideToAnsi(rec.ContactName));
    if (preview.excludedBy) return preview;

    preview.steps = ComposeHistoryPath(context, rec);
    const std::string& path = preview.steps.path;
    preview.folderMissing = !platform::FolderExists(FolderOf(path));
    // Nothing for a file that is missing, a folder, or one that cannot be read.
    const std::string head = platform::ReadFileStart(path, EncodingHeadSize).value_or("");
    preview.fileHasEntries = !head.empty();
    preview.encoding =
        EncodingOfFile(head, EncodingForNewFiles(context.settings[Setting::HistoryEncoding]));
    preview.tooLong = platform::AnsiToWide(path).size() > LongestPath;
    return preview;
}

}  // namespace quillet
