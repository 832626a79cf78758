#include "history/HistoryConversion.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "test_support.h"

namespace quillet {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

std::string Repeated(std::string_view line, std::size_t times) {
    std::string bytes;
    for (std::size_t i = 0; i < times; ++i) bytes += line;
    return bytes;
}

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHelloCp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2, 12345\r\n";  // Привет
const std::string kHelloUtf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, 12345\r\n";

// One file each: what the conversion does with it and what the file holds afterwards.
TEST(HistoryConversion, ConvertsAnsiFilesByteExactAndLeavesOthersAlone) {
    struct Case {
        const char* name;
        unsigned codePage;
        std::string before;
        ConversionOutcome outcome;
        LeftAloneReason reason;
        std::uint64_t line;
        std::string after;  // empty: as before
        bool dryRun = false;
        bool keepBackup = false;
        const char* cutShortBackup = nullptr;  // a "12345.TXT.quillet-old" of an earlier cut
    };
    const std::string mixed = "Zo\xEB\r\nok\r\nZo\xC3\xAB\r\n";  // line 3 is UTF-8
    const Case cases[] = {
        {"Cyrillic in 1251", 1251, "----<-\r\n" + kHelloCp1251, ConversionOutcome::Converted,
         LeftAloneReason::None, 0, kBom + "----<-\r\n" + kHelloUtf8},
        // 5C, the path separator, as the second byte of a character.
        {"Japanese in 932", 932, "\x95\x5C\x8E\xA6\r\n", ConversionOutcome::Converted,
         LeftAloneReason::None, 0, kBom + "\xE8\xA1\xA8\xE7\xA4\xBA\r\n"},
        {"pieces and lines across them", 1251, Repeated(kHelloCp1251, 150000),
         ConversionOutcome::Converted, LeftAloneReason::None, 0,
         kBom + Repeated(kHelloUtf8, 150000)},
        {"kept beside", 1251, kHelloCp1251, ConversionOutcome::Converted, LeftAloneReason::None, 0,
         kBom + kHelloUtf8, false, true},
        {"dry run", 1251, kHelloCp1251, ConversionOutcome::Converted, LeftAloneReason::None, 0, "",
         true},
        {"already UTF-8", 1251, kBom + kHelloUtf8, ConversionOutcome::AlreadyUtf8,
         LeftAloneReason::None, 0, ""},
        {"empty", 1251, "", ConversionOutcome::Empty, LeftAloneReason::None, 0, ""},
        {"two encodings", 1252, mixed, ConversionOutcome::LeftAlone,
         LeftAloneReason::MixedEncodings, 3, ""},
        {"a lead byte without its second", 932, "ok\r\nab\x81\r\n", ConversionOutcome::LeftAlone,
         LeftAloneReason::InvalidBytes, 2, ""},
        // The messenger began the file anew after a conversion was cut short between its moves.
        {"a backup of an earlier cut beside it", 1251, kHelloCp1251, ConversionOutcome::LeftAlone,
         LeftAloneReason::CutShortBefore, 0, "", false, false, "the whole old history\r\n"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const TempFolder temp;
        WriteBytes(temp.native("12345.TXT"), test.before);
        if (test.cutShortBackup)
            WriteBytes(temp.native("12345.TXT.quillet-old"), test.cutShortBackup);
        ConversionOptions options;
        options.codePage = test.codePage;
        options.dryRun = test.dryRun;
        options.keepBackup = test.keepBackup;
        const FileConversion result = ConvertHistoryFile(temp.path("12345.TXT"), options);
        EXPECT_EQ(result.outcome, test.outcome);
        EXPECT_EQ(result.reason, test.reason);
        EXPECT_EQ(result.line, test.line);
        const std::string after = test.after.empty() ? test.before : test.after;
        EXPECT_TRUE(ReadBytes(temp.native("12345.TXT")) == after) << "the file's bytes";
        if (test.outcome == ConversionOutcome::Converted && !test.dryRun) {
            EXPECT_EQ(result.bytesAfter, after.size());
        }
        const std::size_t files = 1 + (test.keepBackup ? 1 : 0) + (test.cutShortBackup ? 1 : 0);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.native()), {}), files);
        if (test.keepBackup) {
            EXPECT_EQ(ReadBytes(temp.native("12345.TXT.ansi")), test.before);
        }
        if (test.cutShortBackup) {
            EXPECT_EQ(ReadBytes(temp.native("12345.TXT.quillet-old")), test.cutShortBackup);
        }
    }
}

// The messenger appends while a large file is converted: every entry it wrote is in the
// converted file once, in order. Windows holds the file against writers for the last step;
// Linux has no sharing modes to hold it with.
TEST(HistoryConversion, EntriesAppendedDuringTheConversionAreKeptInOrder) {
    if (!platform::NamesSharingViolation(
            platform::SystemError("", "", 32 /* ERROR_SHARING_VIOLATION */, ""))) {
        GTEST_SKIP() << "Linux has no sharing modes to hold a file with";
    }
    const TempFolder temp;
    const std::string file = temp.path("12345.TXT");
    const std::string line = Repeated("x", 98) + "\r\n";
    WriteBytes(temp.native("12345.TXT"), Repeated(line, 1000000));  // 100 MB
    std::atomic<bool> done{false};
    int appended = 0;
    std::thread messenger([&] {
        while (!done) {
            try {
                platform::AppendToFile(file, "entry " + std::to_string(appended) + "\r\n");
                ++appended;
            } catch (const platform::SystemError& error) {
                if (!platform::NamesSharingViolation(error)) throw;
            }
            platform::Pause(1);
        }
    });
    const FileConversion result = ConvertHistoryFile(file, {1252, false, false, {}});
    done = true;
    messenger.join();
    ASSERT_EQ(result.outcome, ConversionOutcome::Converted);
    EXPECT_TRUE(result.keptAs.empty());
    const std::string bytes = ReadBytes(temp.native("12345.TXT")).value_or("");
    std::size_t at = kBom.size() + line.size() * 1000000;
    ASSERT_EQ(bytes.substr(0, kBom.size()), kBom);
    for (int i = 0; i < appended; ++i) {
        const std::string entry = "entry " + std::to_string(i) + "\r\n";
        ASSERT_EQ(bytes.compare(at, entry.size(), entry), 0) << "entry " << i;
        at += entry.size();
    }
    EXPECT_EQ(at, bytes.size());
}

}  // namespace
}  // namespace quillet
