#include "tools/host/replay.h"

#include <array>
#include <charconv>
#include <chrono>
#include <limits>

#include <nlohmann/json.hpp>

#include "tools/host/utf.h"

namespace quillet::host {

namespace {

using nlohmann::json;

constexpr std::array<std::string_view, 9> kFields = {
    "direction",    "time", "protocol", "sender_uin", "sender_name", "recipient_uin",
    "recipient_name", "text", "suppressed"};

[[noreturn]] void Fail(const std::string& reason) { throw ReplayLineError(reason); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

bool IsSkipped(std::string_view line) {
    const std::string_view rest = TrimLeft(line);
    return rest.empty() || rest.starts_with('#') || rest.starts_with("//");
}

// nlohmann's messages begin with "[json.exception.parse_error.101] "; the reader needs no tag.
std::string WithoutExceptionTag(const std::string& message) {
    const auto end = message.find("] ");
    return message.starts_with("[json.exception.") && end != std::string::npos
               ? message.substr(end + 2)
               : message;
}

json ParseObject(std::string_view line) {
    json value;
    try {
        value = json::parse(line);
    } catch (const json::exception& e) {
        Fail("not valid JSON: " + WithoutExceptionTag(e.what()));
    }
    if (!value.is_object()) Fail("not a JSON object");
    for (const auto& item : value.items()) {
        bool known = false;
        for (const std::string_view field : kFields) known = known || item.key() == field;
        if (!known) Fail("unknown field \"" + item.key() + "\"");
    }
    return value;
}

Direction ReadDirection(const json& object) {
    const auto found = object.find("direction");
    if (found == object.end()) Fail("missing field \"direction\"");
    if (*found == "received") return Direction::Received;
    if (*found == "sent") return Direction::Sent;
    Fail("\"direction\" must be \"received\" or \"sent\"");
}

std::uint32_t ReadTime(const json& object) {
    const auto found = object.find("time");
    if (found == object.end()) Fail("missing field \"time\"");
    if (found->is_string()) return ParseHostTime(found->get_ref<const std::string&>());
    if (found->is_number_unsigned()) {
        const auto seconds = found->get<std::uint64_t>();
        if (seconds <= std::numeric_limits<std::uint32_t>::max())
            return static_cast<std::uint32_t>(seconds);
    }
    Fail("\"time\" must be a whole number of seconds from 0 to 4294967295 or a "
         "\"YYYY-MM-DDTHH:MM:SS\" text");
}

std::optional<std::u16string> ReadText(const json& object, const char* field) {
    const auto found = object.find(field);
    if (found == object.end()) return u"";
    if (found->is_null()) return std::nullopt;
    if (!found->is_string()) Fail(std::string("\"") + field + "\" must be a text or null");
    try {
        return Utf8ToUtf16(found->get_ref<const std::string&>());
    } catch (const std::invalid_argument& e) {
        Fail(std::string("\"") + field + "\": " + e.what());
    }
}

bool ReadSuppressed(const json& object) {
    const auto found = object.find("suppressed");
    if (found == object.end()) return false;
    if (!found->is_boolean()) Fail("\"suppressed\" must be true or false");
    return found->get<bool>();
}

// The digits of text[pos, pos + count) as a number, or nothing if any is not a digit.
std::optional<unsigned> Digits(std::string_view text, std::size_t pos, std::size_t count) {
    unsigned value = 0;
    const char* first = text.data() + pos;
    const char* last = first + count;
    for (const char* c = first; c != last; ++c)
        if (*c < '0' || *c > '9') return std::nullopt;
    std::from_chars(first, last, value);
    return value;
}

}  // namespace

std::uint32_t ParseHostTime(std::string_view text) {
    using namespace std::chrono;
    // YYYY-MM-DDTHH:MM:SS
    const bool shaped = text.size() == 19 && text[4] == '-' && text[7] == '-' &&
                        (text[10] == 'T' || text[10] == ' ') && text[13] == ':' &&
                        text[16] == ':';
    const auto y = shaped ? Digits(text, 0, 4) : std::nullopt;
    const auto mo = shaped ? Digits(text, 5, 2) : std::nullopt;
    const auto d = shaped ? Digits(text, 8, 2) : std::nullopt;
    const auto h = shaped ? Digits(text, 11, 2) : std::nullopt;
    const auto mi = shaped ? Digits(text, 14, 2) : std::nullopt;
    const auto s = shaped ? Digits(text, 17, 2) : std::nullopt;
    if (!y || !mo || !d || !h || !mi || !s)
        Fail("\"time\" text must have the form YYYY-MM-DDTHH:MM:SS");
    const year_month_day date{year{static_cast<int>(*y)}, month{*mo}, day{*d}};
    if (!date.ok() || *h > 23 || *mi > 59 || *s > 59)
        Fail("\"time\" names no existing date and time");
    const auto days = sys_days{date}.time_since_epoch().count();
    const long long seconds = days * 86400LL + *h * 3600LL + *mi * 60LL + *s;
    if (seconds < 0 || seconds > std::numeric_limits<std::uint32_t>::max())
        Fail("\"time\" lies outside 1970-01-01T00:00:00 .. 2106-02-07T06:28:15");
    return static_cast<std::uint32_t>(seconds);
}

std::optional<ReplayMessage> ParseReplayLine(std::string_view line) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (IsSkipped(line)) return std::nullopt;
    const json object = ParseObject(line);
    ReplayMessage message;
    message.direction = ReadDirection(object);
    message.time = ReadTime(object);
    message.protocol = ReadText(object, "protocol");
    message.senderUin = ReadText(object, "sender_uin");
    message.senderName = ReadText(object, "sender_name");
    message.recipientUin = ReadText(object, "recipient_uin");
    message.recipientName = ReadText(object, "recipient_name");
    message.text = ReadText(object, "text");
    message.suppressed = ReadSuppressed(object);
    return message;
}

std::int32_t EventCodeFor(Direction direction) {
    return direction == Direction::Received ? EVENT_MESSAGE_RECEIVED : EVENT_MESSAGE_SENT;
}

TChatMessage ToChatMessage(const ReplayMessage& message) {
    const auto pointer = [](const std::optional<std::u16string>& text) {
        return text ? text->c_str() : nullptr;
    };
    TChatMessage record{};
    record.MsgTime = message.time;
    record.Protocol = pointer(message.protocol);
    record.SenderUIN = pointer(message.senderUin);
    record.SenderName = pointer(message.senderName);
    record.RecipientUIN = pointer(message.recipientUin);
    record.RecipientName = pointer(message.recipientName);
    record.MsgText = pointer(message.text);
    record.Suppressed = message.suppressed ? 1 : 0;
    return record;
}

ReplayReader::ReplayReader(const std::string& path) : path_(path), file_(path, std::ios::binary) {
    if (!file_) throw std::runtime_error("cannot open replay file " + path);
}

std::optional<ReplayMessage> ReplayReader::Next() {
    std::string line;
    while (std::getline(file_, line)) {
        ++lineNumber_;
        if (lineNumber_ == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
        try {
            if (auto message = ParseReplayLine(line)) return message;
        } catch (const ReplayLineError& e) {
            throw ReplayFileError(path_ + ":" + std::to_string(lineNumber_) + ": " + e.what(),
                                  lineNumber_);
        }
    }
    if (file_.bad()) throw std::runtime_error("cannot read replay file " + path_);
    return std::nullopt;
}

}  // namespace quillet::host
