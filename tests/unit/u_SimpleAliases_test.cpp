#include "config/u_SimpleAliases.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "plugin/main.h"
#include "test_support.h"

namespace quillet {
namespace {

using test::ScopedPluginPath;
using test::TempFolder;
using test::WriteBytes;

using Rules = std::vector<std::pair<std::string, std::string>>;

Rules LoadedRules() {
    Rules rules;
    for (std::size_t i = 0; i < AliasFromList.size(); ++i) {
        rules.emplace_back(AliasFromList[i], AliasToList[i]);
    }
    return rules;
}

class AliasesTest : public testing::Test {
protected:
    void WriteAliases(const std::string& content) {
        WriteBytes(folder.native("aliases.ini"), content);
    }
    TempFolder folder;
    ScopedPluginPath pluginPath{folder};
};

TEST_F(AliasesTest, RuleLinesSplitAtTheFirstDoubleEquals) {
    struct Case {
        std::string file;
        Rules rules;
    };
    const Case cases[] = {
        {"ICQ Admin==ICQ Support\r\n", {{"ICQ Admin", "ICQ Support"}}},
        {"abc == def", {{"abc ", " def"}}},
        {"a==b==c", {{"a", "b==c"}}},
        {"==x", {{"", "x"}}},
        {"x==", {{"x", ""}}},
        {"foo", {{"foo", "  "}}},
        {"000000001=0000000002", {{"000000001=0000000002", "  "}}},
        {"   ; old rule\r\n;x==y\r\n\r\n \t \r\na==b\n", {{"a", "b"}}},
        {"1==2\r3==4\n5==6", {{"1", "2"}, {"3", "4"}, {"5", "6"}}},
        {std::string("1==2\n3==4\0\n5==6", 15), {{"1", "2"}, {"3", "4"}}},
        {"\xEF\xBB\xBFx==y", {{"\xEF\xBB\xBFx", "y"}}},  // a byte-order mark is text here
    };
    for (const Case& c : cases) {
        WriteAliases(c.file);
        LoadAliases(PluginPath);
        EXPECT_EQ(LoadedRules(), c.rules) << testing::PrintToString(c.file);
    }
}

TEST_F(AliasesTest, MissingOrUnreadableFileMeansNoRules) {
    AliasFromList = {"stale"};
    AliasToList = {"rule"};
    LoadAliases(PluginPath);
    EXPECT_TRUE(LoadedRules().empty());

    std::filesystem::create_directory(folder.native("aliases.ini"));  // a folder, not a file
    LoadAliases(PluginPath);
    EXPECT_TRUE(LoadedRules().empty());
    EXPECT_EQ(ApplyAliases("unchanged"), "unchanged");
}

TEST_F(AliasesTest, ApplyRereadsTheFileAndAppliesRulesInOrder) {
    struct Case {
        const char* rules;
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"ICQ Admin==ICQ Support", "x\\icq admin.TXT", "x\\ICQ Support.TXT"},
        {"A==B\r\nB==C", "A", "C"},
        {"B==C\r\nA==B", "A", "B"},
        {"x==", "xaXb", "ab"},
        {"==x", "abc", "abc"},
        {"foo", "aFOOb", "a  b"},
        {"A==AB", "A", "AB"},
        {"a==b", "", ""},
    };
    for (const Case& c : cases) {
        WriteAliases(c.rules);
        EXPECT_EQ(ApplyAliases(c.text), c.expected) << c.rules;
    }
}

class ExclusionTest : public AliasesTest {
protected:
    void LoadExcludes(const std::string& content) {
        WriteBytes(folder.native("Exclude.ini"), content);
        ReloadLists();
    }
};

TEST_F(ExclusionTest, EntriesAreWholeLinesTakenAsWritten) {
    LoadExcludes("123456\r\n john\r\n\r\n;not a comment\rlast");
    EXPECT_EQ(ExcludeList.lines(),
              (std::vector<std::string>{"123456", " john", "", ";not a comment", "last"}));
}

TEST_F(ExclusionTest, MatchesWholeTextsIgnoringCase) {
    struct Case {
        const char* entries;
        const char* uin;
        const char* name;
        bool excluded;
    };
    const Case cases[] = {
        {"123456", "123456", "Bob", true},
        {"john", "1", "John", true},
        {"JOHN", "1", "john", true},
        {"zo\xEB", "1", "ZO\xCB", true},  // é and É under the locale
        {" 123456", "123456", "Bob", false},
        {"john ", "1", "john", false},
        {"12345", "123456", "Bob", false},  // never part of a text
        {"a\r\n\r\nb", "", "Bob", true},    // an empty entry excludes an empty identifier
        {"a\r\nb", "", "", false},
        {"", "1", "Bob", false},
    };
    for (const Case& c : cases) {
        LoadExcludes(c.entries);
        EXPECT_EQ(IsExcluded(ExclusionIndex(ExcludeList.lines()), c.uin, c.name), c.excluded)
            << c.entries << " / " << c.uin;
    }
}

TEST_F(ExclusionTest, ReloadEmptiesTheListWhenTheFileIsGone) {
    LoadExcludes("1");
    std::filesystem::remove(folder.native("Exclude.ini"));
    ReloadLists();
    EXPECT_TRUE(ExcludeList.empty());
}

}  // namespace
}  // namespace quillet
