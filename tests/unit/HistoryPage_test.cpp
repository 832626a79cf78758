// The options dialog's History page on a headless dialog of its own controls, over a history of
// an ANSI file, a UTF-8 file and a file that cannot be read, found from the saved settings.
#include "ui/HistoryPage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "headless_dialog.h"
#include "history/EntryEncoding.h"
#include "history/EntryFormat.h"
#include "platform/platform.h"
#include "platform/probes.h"
#include "test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using platform::ControlKind;
using test::HeadlessDialog;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::vector<platform::ControlSpec> PageLayout = {
    {ControlKind::Form, "f", "", 0, 0, 500, 300, ""},
    {ControlKind::Edit, "eText", "f", 0, 0, 10, 10, ""},
    {ControlKind::Edit, "eContact", "f", 0, 0, 10, 10, ""},
    {ControlKind::CheckBox, "cbCase", "f", 0, 0, 10, 10, ""},
    {ControlKind::Button, "bFind", "f", 0, 0, 10, 10, "Find"},
    {ControlKind::ListView, "lv", "f", 0, 0, 10, 10, ""},
    {ControlKind::Label, "lCount", "f", 0, 0, 10, 10, ""},
    {ControlKind::Memo, "mEntry", "f", 0, 0, 10, 10, "", platform::kReadOnly},
    {ControlKind::Button, "bOpen", "f", 0, 0, 10, 10, "Open file"},
    {ControlKind::ProgressBar, "pb", "f", 0, 0, 10, 10, ""},
    {ControlKind::Button, "bSave", "f", 0, 0, 10, 10, "Save"},
};

// The dialog's events handed to the page, as the options form hands them.
class PageEvents final : public platform::DialogEvents {
public:
    explicit PageEvents(std::size_t mostListed)
        : page({"eText",
                "eContact",
                "cbCase",
                "bFind",
                "lv",
                "lCount",
                "mEntry",
                "bOpen",
                "pb",
                {"bSave"}},
               mostListed) {}

    void OnShow() override { page.Show(*form); }
    void OnClick(const std::string& control) override { page.OnClick(*form, control, PluginPath); }
    void OnChange(const std::string& control) override { page.OnChange(*form, control); }
    void OnDoubleClick(const std::string&) override {}
    void OnColumnClick(const std::string& control, int column) override {
        page.OnColumnClick(*form, control, column);
    }
    void OnEnterKey(const std::string& control) override {
        page.OnEnterKey(*form, control, PluginPath);
    }
    int OnMeasureItem(const std::string&, int, int height) override { return height; }
    void OnDrawItem(const std::string&, int, const platform::Rect&, bool,
                    platform::RowPainter&) override {}

    HistoryPage page;
    platform::Dialog* form = nullptr;
};

const std::u16string Privet = u"\u041f\u0440\u0438\u0432\u0435\u0442";  // "Привет"
const std::u16string privet = u"\u043f\u0440\u0438\u0432\u0435\u0442";  // "привет"
const std::u16string Vera = u"\u0412\u0435\u0440\u0430";

std::string Entry(EntryDirection direction, std::u16string_view name, std::string_view when,
                  std::u16string_view text, EntryEncoding encoding = EntryEncoding::Ansi) {
    return EntryBytes(direction, EncodeText(name, encoding), when, EncodeText(text, encoding));
}

// The history of the default settings below a fresh plug-in folder: Bob's file in ANSI, Vera's
// in UTF-8 with Cyrillic and an emoji.
class HistoryPageTest : public ::testing::Test {
protected:
    HistoryPageTest() : plugin(folder) {
        Write("HISTORY\\ICQ\\777\\12345.TXT",
              Entry(EntryDirection::Received, u"Bob", "10:00:00 01/02/2008", u"Gr\u00fc\u00dfe") +
                  Entry(EntryDirection::Sent, u"Me", "10:05:00 01/02/2008",
                        u"hello Bob\r\nsecond line"));
        Write("HISTORY\\ICQ\\777\\555.TXT",
              std::string(Utf8ByteOrderMark) +
                  Entry(EntryDirection::Received, Vera, "09:00:00 15/01/2009",
                        Privet + u", \U0001F600", EntryEncoding::Utf8) +
                  Entry(EntryDirection::Sent, u"Me", "09:01:00 15/01/2009", privet + u" " + Vera,
                        EntryEncoding::Utf8));
    }

    void Write(const std::string& name, const std::string& bytes) {
        fs::create_directories(folder.native(name).parent_path());
        test::WriteBytes(folder.native(name), bytes);
    }

    HeadlessDialog& Open(std::size_t mostListed = MostEntriesListed) {
        events = std::make_unique<PageEvents>(mostListed);
        dialog = std::make_unique<HeadlessDialog>(PageLayout, *events);
        events->form = dialog.get();
        dialog->RunModal();
        return *dialog;
    }

    // Each row of the list as "time|contact|direction|first line".
    std::vector<std::u16string> Rows() const {
        std::vector<std::u16string> rows;
        for (const platform::ListRow& row : dialog->rows("lv")) {
            rows.push_back(row.at(1) + u"|" + row.at(2) + u"|" + row.at(3) + u"|" + row.at(4));
        }
        return rows;
    }

    test::TempFolder folder;
    test::ScopedPluginPath plugin;
    std::unique_ptr<PageEvents> events;
    std::unique_ptr<HeadlessDialog> dialog;
};

const std::u16string VeraSent = u"09:01:00|ICQ\\777\\555|sent|" + privet + u" " + Vera;
const std::u16string VeraReceived = u"09:00:00|" + Vera + u"|received|" + Privet + u", \U0001F600";
const std::u16string BobSent = u"10:05:00|ICQ\\777\\12345|sent|hello Bob";
const std::u16string BobReceived = u"10:00:00|Bob|received|Gr\u00fc\u00dfe";

// What a search finds, newest first, and what the label under the list says: the entries in
// both encodings, letter case ignored in every script unless asked, names and paths for the
// contact; the newest only when there are more than the page lists; the file that cannot be read
// named, the others searched all the same.
TEST_F(HistoryPageTest, SearchListsWhatItFindsNewestFirst) {
    struct Case {
        const char* name;
        std::u16string text, contact;
        bool matchCase;
        std::size_t mostListed;
        std::vector<std::u16string> rows;
        std::string count;
    };
    const std::string unreadable = "\r\nCould not be read: ICQ\\777\\999.TXT: ";
    const Case cases[] = {
        {"Cyrillic",
         u"\u041f\u0420\u0418\u0412\u0415\u0422",
         u"",
         false,
         100,
         {VeraSent, VeraReceived},
         "2 entries in 1 files." + unreadable},
        {"match case", privet, u"", true, 100, {VeraSent}, "1 entries in 1 files." + unreadable},
        {"ANSI",
         u"GR\u00dc\u00dfE",
         u"",
         false,
         100,
         {BobReceived},
         "1 entries in 1 files." + unreadable},
        {"contact by name",
         u"",
         u"bob",
         false,
         100,
         {BobReceived},
         "1 entries in 1 files." + unreadable},
        {"contact by file",
         u"",
         u"555",
         false,
         100,
         {VeraSent, VeraReceived},
         "2 entries in 1 files." + unreadable},
        {"the newest only",
         u"",
         u"",
         false,
         3,
         {VeraSent, VeraReceived, BobSent},
         "4 entries in 2 files. The newest 3 are listed." + unreadable},
        {"nothing", u"nowhere", u"", false, 100, {}, "0 entries in 0 files." + unreadable},
    };
    Write("HISTORY\\ICQ\\777\\999.TXT",
          Entry(EntryDirection::Received, u"Carl", "08:00:00 01/01/2010", u"hello"));
    const auto obstacle = platform::MakeUnreadable(folder.path("HISTORY\\ICQ\\777\\999.TXT"));
    ASSERT_TRUE(obstacle) << "cannot make a file unreadable here";
    for (const Case& c : cases) {
        HeadlessDialog& d = Open(c.mostListed);
        d.TypeWide("eText", c.text);
        d.TypeWide("eContact", c.contact);
        if (c.matchCase) d.Click("cbCase");
        std::string captionWhileRunning;
        bool saveWhileRunning = true;
        d.whileProcessingMessages = [&](HeadlessDialog& running) {
            captionWhileRunning = running.Text("bFind");
            saveWhileRunning = running.Enabled("bSave");
        };
        d.PressEnter("eText");
        EXPECT_THAT(Rows(), ElementsAreArray(c.rows)) << c.name;
        EXPECT_THAT(d.Text("lCount"), StartsWith(c.count)) << c.name;
        EXPECT_EQ(captionWhileRunning, "Stop") << c.name;
        EXPECT_FALSE(saveWhileRunning) << c.name;
        EXPECT_EQ(d.Text("bFind"), "Find") << c.name;
        EXPECT_TRUE(d.Enabled("bSave")) << c.name;
        const test::Progress bar = d.progress("pb");
        EXPECT_EQ(bar.position, bar.maximum) << c.name;
    }
}

// A click on a column's header sorts by it, a second one the other way round; the selected
// entry stays selected. Selecting a row shows its entry whole, read again from its file, which
// "Open file" opens; a file rewritten since the search is told, not misread.
TEST_F(HistoryPageTest, RowsSortAndASelectedRowShowsItsEntry) {
    HeadlessDialog& d = Open();
    EXPECT_FALSE(d.Enabled("bOpen"));
    d.Click("bFind");
    ASSERT_THAT(Rows(), ElementsAreArray({VeraSent, VeraReceived, BobSent, BobReceived}));
    d.Pick("lv", 0);
    EXPECT_EQ(d.WideText("mEntry"),
              u"ICQ\\777\\555.TXT, line 5\r\nMe (09:01:00 15/01/2009)\r\n" + privet + u" " + Vera);
    d.Pick("lv", 2);
    const std::u16string bobsEntry =
        u"ICQ\\777\\12345.TXT, line 5\r\nMe (10:05:00 01/02/2008)\r\nhello Bob\r\nsecond line";
    EXPECT_EQ(d.WideText("mEntry"), bobsEntry);

    const struct {
        int column;
        std::vector<std::u16string> rows;
    } sorts[] = {
        {2, {BobReceived, BobSent, VeraSent, VeraReceived}},  // contact, letter case ignored
        {2, {VeraReceived, VeraSent, BobSent, BobReceived}},
        {0, {BobReceived, BobSent, VeraReceived, VeraSent}},  // date, oldest first
        {3, {VeraReceived, BobReceived, VeraSent, BobSent}},  // received first, then by date
        {4, {BobReceived, BobSent, VeraSent, VeraReceived}},  // text
    };
    for (const auto& sort : sorts) {
        d.ClickColumn("lv", sort.column);
        EXPECT_THAT(Rows(), ElementsAreArray(sort.rows)) << sort.column;
        ASSERT_GE(d.SelectedIndex("lv"), 0);
        EXPECT_EQ(Rows()[static_cast<std::size_t>(d.SelectedIndex("lv"))], BobSent);
        EXPECT_EQ(d.WideText("mEntry"), bobsEntry);
    }

    d.Click("bOpen");
    d.openFailure = platform::SystemError("ShellExecuteExW", "x", 1155, "No application.");
    d.Click("bOpen");
    EXPECT_THAT(d.openedFiles, ElementsAreArray({folder.path("\\HISTORY\\ICQ\\777\\12345.TXT")}));
    ASSERT_EQ(d.errors().size(), 1u);
    EXPECT_EQ(d.errors()[0].text,
              "The file cannot be opened: ICQ\\777\\12345.TXT\nNo application.");

    Write("HISTORY\\ICQ\\777\\12345.TXT", "rewritten\r\n");
    d.Pick("lv", d.SelectedIndex("lv"));
    EXPECT_EQ(d.WideText("mEntry"),
              u"ICQ\\777\\12345.TXT, line 5\r\n"
              u"The file has changed since the search: search again.");
}

// The search button stops a search at the next turn of the dialog's messages; without a history
// folder the label says where it was looked for.
TEST_F(HistoryPageTest, StopsWhenAskedAndTellsOfAMissingFolder) {
    HeadlessDialog& d = Open();
    d.whileProcessingMessages = [](HeadlessDialog& running) { running.Click("bFind"); };
    d.Click("bFind");
    EXPECT_TRUE(d.rows("lv").empty());
    EXPECT_THAT(d.Text("lCount"), HasSubstr("Stopped after 0 of 2 files."));
    EXPECT_EQ(d.Text("bFind"), "Find");

    fs::remove_all(folder.native("HISTORY"));
    d.whileProcessingMessages = nullptr;
    d.Click("bFind");
    EXPECT_THAT(d.Text("lCount"), StartsWith("There is no history folder " + folder.path()));
}

}  // namespace
}  // namespace quillet
