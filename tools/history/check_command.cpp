// "check": every history file read through, and what the reader noted in it printed as
// "PATH:LINE: what".
#include "history/HistoryReader.h"
#include "tools/history/command_support.h"

namespace quillet::history_tool {

namespace {

class CheckVisitor : public EntryVisitor {
public:
    explicit CheckVisitor(std::ostream& out) : out_(out) {}

    void Entry(const HistoryFile&, const HistoryEntry&) override {}
    void Notes(const HistoryFile& file, const std::vector<ReadNote>& notes) override {
        for (const ReadNote& note : notes) {
            out_ << file.shown << ':' << note.line << ": " << DescribeReadProblem(note.problem)
                 << '\n';
        }
        noted_ += notes.size();
    }
    std::size_t noted() const { return noted_; }

private:
    std::ostream& out_;
    std::size_t noted_ = 0;
};

}  // namespace

int RunCheck(const CommonOptions& common, ToolStreams& streams) {
    const std::optional<LocatedHistory> located = LocateAndFind(common, streams);
    if (!located) return kExitError;
    CheckVisitor visitor(streams.out);
    const std::size_t failed = ScanFiles(located->files, DefaultReaderOptions(), visitor, streams);
    if (failed + located->errors > 0) return kExitError;
    return visitor.noted() > 0 ? 1 : 0;
}

}  // namespace quillet::history_tool
