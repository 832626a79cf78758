// Writes a tree of history files as the plug-in writes them, for the search and conversion
// benchmarks:
//   make-history-tree [--all-ansi] FOLDER MEGABYTES FILES [WORD]
// FILES files below FOLDER/ICQ/777/ (every other one in UTF-8 with Cyrillic and emoji, the rest
// in code page 1252; with --all-ansi, every one in code page 1252), MEGABYTES in all, entries of
// one to four lines of text; one entry in a thousand holds WORD (default "zanzibar") in some
// letter case. Prints the number of entries and of those that hold the word. The same arguments
// give the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "history/DateTime.h"
#include "history/EntryEncoding.h"
#include "history/uHistorySave.h"
#include "platform/platform.h"

namespace {

using namespace quillet;

const std::vector<std::u16string> kLatinWords = {
    u"hello",   u"see",    u"you",    u"tomorrow", u"the",  u"meeting", u"was",   u"moved",
    u"to",      u"Friday", u"did",    u"get",      u"my",   u"message", u"about", u"train",
    u"tickets", u"sure",   u"thanks", u"what",     u"time", u"dinner",  u"at",    u"eight",
    u"sounds",  u"good",   u"ok",     u"call",     u"me",   u"when",    u"are",   u"home",
    u"weather", u"is",     u"great",  u"café",     u"naïve"};
const std::vector<std::u16string> kCyrillicWords = {
    u"привет", u"как",     u"дела",     u"завтра",     u"встреча",
    u"хорошо", u"спасибо", u"увидимся", u"\U0001F600", u"\U0001F44D"};

std::u16string Sentence(std::mt19937& random, bool cyrillic) {
    std::u16string text;
    const int words = 3 + static_cast<int>(random() % 12);
    for (int i = 0; i < words; ++i) {
        const auto& list = cyrillic && random() % 3 == 0 ? kCyrillicWords : kLatinWords;
        if (i > 0) text += u' ';
        text += list[random() % list.size()];
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const bool allAnsi = !arguments.empty() && arguments.front() == "--all-ansi";
    if (allAnsi) arguments.erase(arguments.begin());
    if (arguments.size() < 3) {
        std::fprintf(stderr,
                     "usage: make-history-tree [--all-ansi] FOLDER MEGABYTES FILES [WORD]\n");
        return 2;
    }
    const std::filesystem::path folder = std::filesystem::path(arguments[0]) / "ICQ" / "777";
    const std::uint64_t total = std::strtoull(arguments[1].c_str(), nullptr, 10) << 20;
    const unsigned files = static_cast<unsigned>(std::strtoul(arguments[2].c_str(), nullptr, 10));
    const std::string word = arguments.size() > 3 ? arguments[3] : "zanzibar";
    const std::u16string wideWord(word.begin(), word.end());
    std::filesystem::create_directories(folder);
    const platform::TimeFormat format{true, false, false, ":", "", ""};
    std::mt19937 random(12345);
    std::uint64_t entries = 0, withWord = 0;
    for (unsigned file = 0; file < files; ++file) {
        const bool utf8 = !allAnsi && file % 2 == 1;
        const EntryEncoding encoding = utf8 ? EntryEncoding::Utf8 : EntryEncoding::Ansi;
        std::ofstream out(folder / (std::to_string(100000 + file) + ".TXT"), std::ios::binary);
        std::string bytes = utf8 ? std::string(Utf8ByteOrderMark) : "";
        const std::uint64_t size = total / files;
        std::uint32_t seconds = 1100000000 + file * 1000;
        std::uint64_t written = 0;
        while (written + bytes.size() < size) {
            THistoryRec rec;
            rec.Incoming = random() % 2 == 0;
            rec.ContactName =
                u"Contact " + std::u16string(1, static_cast<char16_t>(u'A' + file % 26));
            rec.MyName = u"Me";
            const int lines = 1 + static_cast<int>(random() % 4 == 0 ? random() % 4 : 0);
            for (int line = 0; line < lines; ++line) {
                if (line > 0) rec.MsgText += u"\r\n";
                rec.MsgText += Sentence(random, utf8);
            }
            if (random() % 1000 == 0) {
                std::u16string variant = wideWord;
                if (random() % 2 == 0) variant[0] = static_cast<char16_t>(variant[0] - u'a' + u'A');
                rec.MsgText += u" " + variant + u"!";
                ++withWord;
            }
            seconds += 30 + random() % 3600;
            rec.MsgTime = UnixSecondsToDateTime(seconds);
            bytes += FormatHistoryEntry(rec, format, encoding);
            ++entries;
            if (bytes.size() > (1u << 20)) {
                out << bytes;
                written += bytes.size();
                bytes.clear();
                bytes.reserve(1u << 21);
            }
        }
        out << bytes;
    }
    std::printf("%llu entries, %llu with \"%s\"\n", static_cast<unsigned long long>(entries),
                static_cast<unsigned long long>(withWord), word.c_str());
    return 0;
}
