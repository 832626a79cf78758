#include "tools/history/output_streams.h"

#include <utility>

namespace quillet::history_tool {

namespace {

constexpr std::size_t kStandardCapacity = 64u << 10;
constexpr std::size_t kFileCapacity = 1u << 20;

// The length of the sequence a UTF-8 lead byte starts; 1 for anything else.
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF7) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

}  // namespace

std::size_t WholeSequencesLength(std::string_view bytes) {
    // Only the last three bytes can belong to a sequence that is not complete.
    const std::size_t stop = bytes.size() > 3 ? bytes.size() - 3 : 0;
    for (std::size_t i = bytes.size(); i > stop; --i) {
        const auto byte = static_cast<unsigned char>(bytes[i - 1]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
        return i - 1 + SequenceLength(byte) > bytes.size() ? i - 1 : bytes.size();
    }
    return bytes.size();
}

Utf8Sink::Utf8Sink(Writer write, std::size_t capacity, bool lineBuffered)
    : write_(std::move(write)), capacity_(capacity), lineBuffered_(lineBuffered) {}

Utf8Sink::~Utf8Sink() {
    Finish();
}

void Utf8Sink::Finish() {
    Drain(true);
}

void Utf8Sink::Drain(bool whole) {
    const std::size_t count = whole ? held_.size() : WholeSequencesLength(held_);
    if (count == 0) return;
    if (!failed_ && !write_(std::string_view(held_).substr(0, count))) failed_ = true;
    held_.erase(0, count);
}

Utf8Sink::int_type Utf8Sink::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    xsputn(&byte, 1);
    return failed_ ? traits_type::eof() : c;
}

std::streamsize Utf8Sink::xsputn(const char* bytes, std::streamsize count) {
    if (failed_) return 0;
    const std::string_view added(bytes, static_cast<std::size_t>(count));
    held_.append(added);
    if (held_.size() >= capacity_ || (lineBuffered_ && added.find('\n') != added.npos)) {
        Drain(false);
    }
    return failed_ ? 0 : count;
}

int Utf8Sink::sync() {
    Drain(false);
    return failed_ ? -1 : 0;
}

StandardOutput::StandardOutput(platform::StandardStream stream)
    : std::ostream(nullptr),
      sink_([stream](std::string_view bytes) { return platform::WriteStandard(stream, bytes); },
            kStandardCapacity, platform::IsTerminal(stream)) {
    rdbuf(&sink_);
}

StandardOutput::~StandardOutput() {
    sink_.Finish();
}

FileOutput::FileOutput(std::string path)
    : std::ostream(nullptr),
      path_(std::move(path)),
      sink_([this](std::string_view bytes) { return Append(bytes); }, kFileCapacity, false) {
    platform::WriteWholeFile(path_, {});
    rdbuf(&sink_);
}

FileOutput::~FileOutput() {
    sink_.Finish();
}

const std::optional<platform::SystemError>& FileOutput::Finish() {
    flush();
    sink_.Finish();
    return error_;
}

bool FileOutput::Append(std::string_view bytes) {
    try {
        platform::AppendToFile(path_, bytes);
        return true;
    } catch (const platform::SystemError& error) {
        error_ = error;
        return false;
    }
}

}  // namespace quillet::history_tool
