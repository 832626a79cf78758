// The reference host's replay-file reader: what a line turns into, and which lines it refuses.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "test_support.h"
#include "tools/host/replay.h"
#include "tools/host/utf.h"

namespace quillet::host {
namespace {

TEST(HostReplayLine, SkipsBlankAndCommentLines) {
    for (const char* line : {"", "   ", "\t", "\r", "# a note", "   # indented note", "// note",
                             "  //{\"direction\":\"sent\",\"time\":0}"}) {
        EXPECT_FALSE(ParseReplayLine(line).has_value()) << '"' << line << '"';
    }
}

TEST(HostReplayLine, ReadsEveryFieldAndConvertsTextsToUtf16) {
    const auto message = ParseReplayLine(
        R"({"direction":"sent","time":1197036309,"protocol":"ICQ","sender_uin":"777000111",)"
        R"("sender_name":"Me","recipient_uin":"314159265","recipient_name":"Zo\u00eb",)"
        R"("text":"line one\r\nZoë € 😀","suppressed":true})"
        "\r");
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->direction, Direction::Sent);
    EXPECT_EQ(message->time, 1197036309u);
    EXPECT_EQ(message->protocol, u"ICQ");
    EXPECT_EQ(message->senderUin, u"777000111");
    EXPECT_EQ(message->senderName, u"Me");
    EXPECT_EQ(message->recipientUin, u"314159265");
    EXPECT_EQ(message->recipientName, u"Zo\u00EB");
    EXPECT_EQ(message->text, u"line one\r\nZo\u00EB \u20AC \U0001F600");
    EXPECT_TRUE(message->suppressed);
}

TEST(HostReplayLine, MissingTextsAreEmptyAndNullTextsBecomeNullPointers) {
    const auto message =
        ParseReplayLine(R"({"direction":"received","time":0,"sender_uin":null,"text":null})");
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->direction, Direction::Received);
    EXPECT_FALSE(message->suppressed);

    const TChatMessage record = ToChatMessage(*message);
    EXPECT_EQ(record.SenderUIN, nullptr);
    EXPECT_EQ(record.MsgText, nullptr);
    for (const char16_t* text : {record.Protocol, record.SenderName, record.RecipientUIN,
                                 record.RecipientName}) {
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text[0], u'\0');
    }
    EXPECT_EQ(record.Suppressed, 0);
    EXPECT_EQ(EventCodeFor(message->direction), EVENT_MESSAGE_RECEIVED);
    EXPECT_EQ(EventCodeFor(Direction::Sent), EVENT_MESSAGE_SENT);
}

TEST(HostReplayLine, RecordPointsIntoTheMessageAndCarriesTimeAndSuppression) {
    const auto message = ParseReplayLine(
        R"({"direction":"received","time":4294967295,"sender_name":"Zoë","suppressed":true})");
    ASSERT_TRUE(message.has_value());
    const TChatMessage record = ToChatMessage(*message);
    EXPECT_EQ(record.MsgTime, 4294967295u);
    EXPECT_EQ(record.SenderName, message->senderName->c_str());
    EXPECT_EQ(record.Suppressed, 1);
}

TEST(HostReplayTime, TextsAreTakenOnTheHostsClock) {
    const struct {
        const char* text;
        std::uint32_t seconds;
    } cases[] = {
        {"1970-01-01T00:00:00", 0},
        {"1970-01-02T00:00:00", 86400},
        {"2007-12-07T14:05:09", 1197036309},
        {"2007-12-07 14:05:09", 1197036309},
        {"2008-02-29T23:59:59", 1204329599},
        {"2106-02-07T06:28:15", 4294967295u},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseHostTime(c.text), c.seconds) << c.text;
}

TEST(HostReplayLine, RefusesMalformedLinesSayingWhy) {
    const struct {
        const char* line;
        const char* reason;
    } cases[] = {
        {R"({"direction":"received","time":0)", "not valid JSON"},
        {R"(["received",0])", "not a JSON object"},
        {R"({"time":0})", "missing field \"direction\""},
        {R"({"direction":"incoming","time":0})", "\"direction\""},
        {R"({"direction":"sent"})", "missing field \"time\""},
        {R"({"direction":"sent","time":-1})", "\"time\""},
        {R"({"direction":"sent","time":4294967296})", "\"time\""},
        {R"({"direction":"sent","time":1.5})", "\"time\""},
        {R"({"direction":"sent","time":"1969-12-31T23:59:59"})", "outside"},
        {R"({"direction":"sent","time":"2106-02-07T06:28:16"})", "outside"},
        {R"({"direction":"sent","time":"2007-02-29T10:00:00"})", "no existing date"},
        {R"({"direction":"sent","time":"2007-12-07T24:00:00"})", "no existing date"},
        {R"({"direction":"sent","time":"2007-12-07T14:05"})", "form"},
        {R"({"direction":"sent","time":"2007-12-07T14:05:09Z"})", "form"},
        {R"({"direction":"sent","time":"2007-1a-07T14:05:09"})", "form"},
        {R"({"direction":"sent","time":0,"text":5})", "\"text\" must be a text or null"},
        {R"({"direction":"sent","time":0,"sender_uin":123})", "\"sender_uin\""},
        {R"({"direction":"sent","time":0,"suppressed":1})", "\"suppressed\""},
        {R"({"direction":"sent","time":0,"sender_uid":"1"})", "unknown field \"sender_uid\""},
        {"{\"direction\":\"sent\",\"time\":0,\"text\":\"\xC3\"}", "not valid JSON"},
    };
    for (const auto& c : cases) {
        try {
            ParseReplayLine(c.line);
            ADD_FAILURE() << "accepted: " << c.line;
        } catch (const ReplayLineError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos)
                << c.line << " gave: " << e.what();
        }
    }
}

TEST(HostReplayReader, NamesTheLineOfTheFirstMalformedMessage) {
    test::TempFolder folder;
    test::WriteBytes(folder.native("replay.jsonl"),
                     "\xEF\xBB\xBF{\"direction\":\"received\",\"time\":1}\r\n"
                     "\r\n"
                     "# comment\n"
                     "{\"direction\":\"sent\",\"time\":2}\n"
                     "{\"direction\":\"sent\",\"time\":3,}\n");
    ReplayReader reader(folder.native("replay.jsonl").string());
    auto first = reader.Next();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->time, 1u);
    EXPECT_EQ(reader.lineNumber(), 1u);
    auto second = reader.Next();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->time, 2u);
    EXPECT_EQ(reader.lineNumber(), 4u);
    try {
        reader.Next();
        ADD_FAILURE() << "the malformed fifth line was accepted";
    } catch (const ReplayFileError& e) {
        EXPECT_EQ(e.line(), 5u);
        EXPECT_NE(std::string(e.what()).find("replay.jsonl:5: "), std::string::npos) << e.what();
    }
}

TEST(HostReplayReader, EndsAfterTheLastLineAndRefusesAMissingFile) {
    test::TempFolder folder;
    test::WriteBytes(folder.native("one.jsonl"), "{\"direction\":\"sent\",\"time\":2}");
    ReplayReader reader(folder.native("one.jsonl").string());
    EXPECT_TRUE(reader.Next().has_value());
    EXPECT_FALSE(reader.Next().has_value());
    EXPECT_THROW(ReplayReader(folder.native("missing.jsonl").string()), std::runtime_error);
}

TEST(HostUtf, ConvertsBothWaysAndReplacesUnpairedSurrogates) {
    EXPECT_EQ(Utf8ToUtf16("Zo\xC3\xAB \xE2\x82\xAC \xF0\x9F\x98\x80"),
              u"Zo\u00EB \u20AC \U0001F600");
    EXPECT_EQ(Utf16ToUtf8(u"Zo\u00EB \u20AC \U0001F600"),
              "Zo\xC3\xAB \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)}),
              "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    for (const char* bad : {"\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF"})
        EXPECT_THROW(Utf8ToUtf16(bad), std::invalid_argument);
}

}  // namespace
}  // namespace quillet::host
