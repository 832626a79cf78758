#include "tools/history/html_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_support.h"

namespace quillet {
namespace {

// An entry at "YYYY-MM-DD hh:mm:ss".
HistoryEntry Entry(EntryDirection direction, std::u16string name, const char* when,
                   std::u16string text) {
    HistoryEntry entry;
    entry.direction = direction;
    entry.name = std::move(name);
    entry.text = std::move(text);
    DateTimeFields& t = entry.time;
    std::sscanf(when, "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                &t.second);
    char text8[32];
    std::snprintf(text8, sizeof text8, "%02d:%02d:%02d %02d/%02d/%04d", t.hour, t.minute, t.second,
                  t.day, t.month, t.year);
    for (const char* p = text8; *p; ++p) entry.timeText += static_cast<char16_t>(*p);
    return entry;
}
HistoryEntry In(std::u16string name, const char* when, std::u16string text) {
    return Entry(EntryDirection::Received, std::move(name), when, std::move(text));
}
HistoryEntry Out(const char* when, std::u16string text) {
    return Entry(EntryDirection::Sent, u"Me", when, std::move(text));
}

// ---- Pages in memory ---------------------------------------------------------------------------

struct MemoryFile {
    std::string bytes;
    std::size_t bytesBeforeEnd = 0;  // what the page had handed on before EndFile
    bool closed = false;
    bool failing = false;
};

class MemorySink : public ExportFile {
public:
    explicit MemorySink(MemoryFile& file) : file_(file) {}
    void Write(std::string_view bytes) override {
        if (file_.failing) throw std::runtime_error("disk full");
        file_.bytes += bytes;
    }
    void Close() override { file_.closed = true; }

private:
    MemoryFile& file_;
};

struct HistoryFile {
    std::string path;
    std::vector<HistoryEntry> entries;
    int repeat = 1;
    bool failing = false;  // its page cannot be written
};

struct Expect {
    std::string file;
    std::string text;
    bool present = true;
};

TEST(HtmlExport, PagesAndIndexShowTheHistoryAsCharacters) {
    const std::u16string hostileName = u"Eve \"the\" O'Hacker <b>x</b>";
    const std::u16string longText(1000, u'x');
    struct Case {
        const char* what;
        std::vector<HistoryFile> files;
        std::vector<Expect> expects;
    };
    const Case cases[] = {
        {"texts and names are characters, never markup",
         {{"ICQ\\777\\1.TXT",
           {In(hostileName, "2007-12-07 14:05:09", u"<img src=x onerror=alert(1)>"),
            Out("2007-12-07 14:06:00", u"</style><script>alert(2)</script> &amp; \"q\" 'a'")}}},
         {{"ICQ_777_1.html", "&lt;img src=x onerror=alert(1)&gt;"},
          {"ICQ_777_1.html",
           "&lt;/style&gt;&lt;script&gt;alert(2)&lt;/script&gt; &amp;amp; "
           "&quot;q&quot; &#39;a&#39;"},
          {"ICQ_777_1.html",
           "<title>Eve &quot;the&quot; O&#39;Hacker &lt;b&gt;x&lt;/b&gt; \xE2\x80\x94"},
          {"ICQ_777_1.html", "<img", false},
          {"ICQ_777_1.html", "<script", false},
          {"ICQ_777_1.html", "<b>", false},
          {"index.html", "<bdi>Eve &quot;the&quot; O&#39;Hacker &lt;b&gt;x&lt;/b&gt;</bdi>"},
          {"index.html", "<b>", false}}},
        {"line breaks are kept as LF; controls and broken surrogates are not passed on",
         {{"a.TXT",
           {In(u"Bob", "2007-12-07 14:05:09",
               std::u16string(u"one\r\ntwo\rthree\nfour\tT\x01|\xD800|") + char16_t(0) +
                   u"|\U0001F600 Привет")}}},
         {{"a.html",
           "one\ntwo\nthree\nfour\tT\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD|"
           "\xF0\x9F\x98\x80 \xD0\x9F\xD1\x80\xD0\xB8"},
          {"a.html", "\r", false}}},
        {"entries are grouped by day; the index counts them and gives the first and last date",
         {{"ICQ\\777\\2.TXT",
           {Out("2007-12-08 09:00:00", u"later day first"), In(u"Bob", "2007-12-07 23:59:59", u"a"),
            In(u"Bob", "2007-12-07 23:59:59", u"b"), Out("2008-01-02 10:00:00", u"c")}}},
         {{"ICQ_777_2.html", "<h2><time datetime=\"2007-12-08\">Saturday, 8 December 2007"},
          {"ICQ_777_2.html", "<h2><time datetime=\"2007-12-07\">Friday, 7 December 2007"},
          {"ICQ_777_2.html", "<h2><time datetime=\"2008-01-02\">Wednesday, 2 January 2008"},
          {"ICQ_777_2.html", "<title>Bob \xE2\x80\x94"},  // the contact, not the user
          {"ICQ_777_2.html",
           "<time datetime=\"2007-12-07T23:59:59\" title=\"23:59:59 "
           "07/12/2007\">23:59</time>"},
          {"index.html",
           "<td class=\"num\" data-label=\"Messages\">4</td><td data-label=\"First\">"
           "<time datetime=\"2007-12-07\">7 Dec 2007</time></td><td data-label="
           "\"Last\"><time datetime=\"2008-01-02\">2 Jan 2008</time>"}}},
        {"page names are safe and unique; a file without entries still gets its page",
         {{"ICQ\\777\\12345.TXT", {}},
          {"icq\\777\\12345.txt", {}},
          {"Jabber\\me@x.org\\..\\a b.TXT", {}},
          {"CON.TXT", {}},
          {"Index.TXT", {}},
          {"\xCF\xF0\xE8.TXT", {}},
          {"x\\y.z\\", {}}},
         {{"index.html", "href=\"ICQ_777_12345.html\""},
          {"index.html", "href=\"icq_777_12345-2.html\""},
          {"index.html", "href=\"Jabber_me_x_org_a_b.html\""},
          {"index.html", "href=\"CON_.html\""},
          {"index.html", "href=\"Index-2.html\""},
          {"index.html", "href=\"history.html\""},
          {"index.html", "href=\"x_y_z.html\""},
          {"CON_.html", "<title>CON \xE2\x80\x94"},
          {"CON_.html", "<p>No messages.</p>"}}},
        {"a page that cannot be written is left out of the index; the next one is written",
         {{"bad.TXT", {In(u"Bob", "2007-12-07 14:05:09", u"hi")}, 1, true},
          {"good.TXT", {In(u"Ann", "2007-12-07 14:05:09", u"hi")}}},
         {{"index.html", "bad.html", false}, {"index.html", "href=\"good.html\""}}},
        {"a big history streams: its page is handed on while it is read",
         {{"big.TXT",
           {Out("2007-12-07 14:05:09", longText), Out("2007-12-07 14:05:10", longText)},
           4000}},
         {{"index.html", "8,000</td>"}}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::map<std::string, MemoryFile> files;
        for (const HistoryFile& file : c.files) {
            if (file.failing) {
                files[file.path.substr(0, file.path.find('.')) + ".html"].failing = true;
            }
        }
        HtmlExport html(
            [&](const std::string& name) { return std::make_unique<MemorySink>(files[name]); });
        for (const HistoryFile& file : c.files) {
            const std::string page = html.BeginFile(file.path, "UTF-8");
            int failures = 0;
            try {
                for (int i = 0; i < file.repeat; ++i) {
                    for (const HistoryEntry& entry : file.entries) html.AddEntry(entry);
                }
                files[page].bytesBeforeEnd = files[page].bytes.size();
                html.EndFile();
            } catch (const std::runtime_error&) {
                ++failures;
            }
            EXPECT_EQ(failures, file.failing ? 1 : 0) << file.path;
            // What a page holds back is bounded, whatever the size of the history.
            EXPECT_LE(files[page].bytes.size() - files[page].bytesBeforeEnd, 2u << 20) << page;
        }
        html.Finish();

        for (const auto& [name, file] : files) {
            EXPECT_EQ(file.closed, !file.failing) << name;
        }
        for (const Expect& e : c.expects) {
            ASSERT_EQ(files.count(e.file), 1u) << e.file;
            const std::string& page = files[e.file].bytes;
            EXPECT_EQ(page.find(e.text) != std::string::npos, e.present)
                << e.file << (e.present ? " lacks " : " holds ") << e.text;
        }
    }
}

// ---- The pages in a browser --------------------------------------------------------------------

#if !defined(_WIN32)
// The document Chromium makes of a page, serialized: text nodes with "&", "<" and ">" as
// references, so markup in it is markup the browser made.
std::optional<std::string> BrowserDom(const std::filesystem::path& page,
                                      const std::filesystem::path& profile) {
    const std::string command =
        "timeout 120 /usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic "
        "--no-first-run --disable-background-networking --disable-component-update --disable-sync "
        "--user-data-dir='" +
        profile.string() + "' --dump-dom 'file://" + page.string() + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string dom;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        dom.append(buffer, n);
    if (pclose(pipe) != 0) return std::nullopt;
    return dom;
}

// A few days with Anna (Cyrillic, emoji, a text over several lines), a short one with Bob, and
// a contact whose name and texts are made to break out of the page. With
// QUILLET_HTML_EXPORT_KEEP set, the pages are written to that folder and kept (for
// scripts/export-screenshot.sh).
void WriteSampleExport(const std::string& folder) {
    HtmlExport html(folder);
    const std::u16string anna = u"Анна Петрова";
    html.BeginFile("ICQ\\777\\48151623.TXT", "UTF-8");
    for (const HistoryEntry& entry : {
             In(anna, "2026-12-04 18:02:11",
                u"Привет! Ты уже видел новую версию? 🙂"),
             Out("2026-12-04 18:03:40", u"Привет, Аня! Да, ставлю прямо сейчас."),
             In(anna, "2026-12-04 18:04:05", u"Отлично 👍"),
             Out("2026-12-05 09:15:00",
                 u"Список на выходные:\n– купить билеты 🎟️\n– забрать книги\n– позвонить "
                 u"маме"),
             In(anna, "2026-12-05 09:17:30", u"Билеты беру я 😊"),
             In(anna, "2026-12-05 09:17:52",
                u"Вот ссылка: https://example.org/a/very/long/path/that/keeps/going/and/going"),
             Out("2026-12-07 21:45:03", u"Доехали, всё хорошо! 🚆✨"),
             In(anna, "2026-12-07 21:46:19", u"Ура! Спокойной ночи 🌙"),
         }) {
        html.AddEntry(entry);
    }
    html.BeginFile("Jabber\\me@example.org\\bob@example.org.TXT", "ANSI 1252");
    html.AddEntry(In(u"Bob", "2026-11-28 12:00:00", u"Lunch at one?"));
    html.AddEntry(Out("2026-11-28 12:01:30", u"Sure, see you there."));
    html.BeginFile("ICQ\\777\\666.TXT", "UTF-8");
    HistoryEntry hostile = In(u"Eve \"the\" O'Hacker <b>x</b>", "2026-12-01 10:00:00",
                              u"<img src=x onerror=alert(1)>");
    hostile.timeText = u"\" onmouseover=\"alert(3)";
    html.AddEntry(hostile);
    html.AddEntry(Out("2026-12-01 10:00:01", u"</style><script>alert(2)</script> &amp; \"q\" 'a'"));
    html.Finish();
}
#endif

TEST(HtmlExportInBrowser, HostileTextsAndNamesShowAsCharacters) {
#if defined(_WIN32)
    GTEST_SKIP() << "the browser check runs in the native build";
#else
    if (!std::filesystem::exists("/usr/bin/chromium"))
        GTEST_SKIP() << "/usr/bin/chromium is missing";
    test::TempFolder temp;
    const char* keep = std::getenv("QUILLET_HTML_EXPORT_KEEP");
    const std::filesystem::path out =
        keep ? std::filesystem::absolute(keep) : temp.native("export");
    WriteSampleExport(test::PluginFormPath(out));

    struct Case {
        const char* page;
        const char* text;
        bool present;
    };
    const Case cases[] = {
        {"ICQ_777_666.html", "&lt;img src=x onerror=alert(1)&gt;", true},
        {"ICQ_777_666.html",
         "&lt;/style&gt;&lt;script&gt;alert(2)&lt;/script&gt; &amp;amp; \"q\" 'a'", true},
        {"ICQ_777_666.html", "<bdi>Eve \"the\" O'Hacker &lt;b&gt;x&lt;/b&gt;</bdi>", true},
        {"ICQ_777_666.html", "<title>Eve \"the\" O'Hacker &lt;b&gt;x&lt;/b&gt; ", true},
        {"ICQ_777_666.html", "<img", false},
        {"ICQ_777_666.html", "<script", false},
        {"ICQ_777_666.html", "<b>", false},
        {"ICQ_777_666.html", " onmouseover=\"", false},
        {"ICQ_777_48151623.html",
         "Привет! Ты уже видел новую версию? 🙂", true},
        {"index.html", "<bdi>Eve \"the\" O'Hacker &lt;b&gt;x&lt;/b&gt;</bdi>", true},
        {"index.html", "<b>", false},
        {"index.html", "<bdi>Анна Петрова</bdi>", true},
    };
    std::map<std::string, std::string> doms;
    for (const Case& c : cases) {
        if (doms.count(c.page) == 0) {
            const auto dom = BrowserDom(out / c.page, temp.native("profile"));
            ASSERT_TRUE(dom) << "Chromium could not load " << c.page;
            doms[c.page] = *dom;
        }
        EXPECT_EQ(doms[c.page].find(c.text) != std::string::npos, c.present)
            << c.page << (c.present ? " lacks " : " holds ") << c.text << "\n"
            << doms[c.page];
    }
#endif
}

}  // namespace
}  // namespace quillet
