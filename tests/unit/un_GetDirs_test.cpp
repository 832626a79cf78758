#include "config/un_GetDirs.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "config/StringOps.h"
#include "platform/platform.h"
#include "plugin/main.h"
#include "test_support.h"

namespace quillet {
namespace {

using test::ScopedEnv;
using test::ScopedPluginPath;
using test::TempFolder;

class FolderMacrosTest : public testing::Test {
protected:
    void StoreCustomFolder(const std::string& value) {
        test::WriteBytes(folder.native("Quillet.ini"),
                         "[Settings]\r\nPathFolderCustom=" + value + "\r\n");
    }
    std::string PluginFolder() const { return FolderOf(PluginPath); }
    static std::string Documents() {
        std::string path;
        EXPECT_EQ(platform::SpecialFolder(5, path), 0);
        return path;
    }

    TempFolder folder;
    ScopedPluginPath pluginPath{folder};
    // Names the templates use must not be environment variables in these tests.
    ScopedEnv noProtocol{"PROTOCOL", std::nullopt};
    ScopedEnv noUin{"UIN", std::nullopt};
    ScopedEnv noMyUin{"MYUIN", std::nullopt};
    ScopedEnv noDocs{"DOCS", std::nullopt};
    ScopedEnv noCustom{"CUSTOM", std::nullopt};
};

TEST_F(FolderMacrosTest, ExpandsTemplatesAsTheHistoryWriterNeedsThem) {
    struct Case {
        std::string pathTemplate;
        std::string expected;
    };
    const Case cases[] = {
        {"%QUILLET PATH%\\History\\%PROTOCOL%\\%MYUIN%\\%UIN%.txt",
         PluginFolder() + "\\HISTORY\\%PROTOCOL%\\%MYUIN%\\%UIN%.TXT"},
        {"%quillet path%logs", PluginFolder() + "LOGS"},
        {"%DOCS%\\Chats", Documents() + "\\CHATS"},
        {"%CUSTOM%", "C:\\"},
        {"c:\\chats", "C:\\CHATS"},
        {"z\xE9\xFF", "Z\xE9\xFF"},  // only a to z are upper-cased
        {"%NO SUCH VARIABLE%", "%NO SUCH VARIABLE%"},
        {"%QUILLET PATH%%quillet path%", PluginFolder() + PluginFolder()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExpandFolderMacros(c.pathTemplate), c.expected) << c.pathTemplate;
    }
}

TEST_F(FolderMacrosTest, CustomFolderKeepsItsCaseAndOnlyUpperCaseMacrosInside) {
    struct Case {
        std::string stored;
        std::string pathTemplate;
        std::string expected;
    };
    const Case cases[] = {
        {"D:\\My Chats", "%CUSTOM%\\Log", "D:\\My Chats\\LOG"},
        {"%DOCS%\\Chats", "%CUSTOM%", Documents() + "\\Chats"},
        {"%docs%\\Chats", "%CUSTOM%", "%docs%\\Chats"},
        {"%TEMP%\\x", "%CUSTOM%", "%TEMP%\\x"},  // the environment was expanded before
    };
    for (const Case& c : cases) {
        StoreCustomFolder(c.stored);
        EXPECT_EQ(ExpandFolderMacros(c.pathTemplate), c.expected) << c.stored;
    }
}

TEST_F(FolderMacrosTest, EnvironmentComesFirstAndWinsOverFolderMacros) {
    ScopedEnv docs("DOCS", "E:\\from-env");
    ScopedEnv user("QUILLET_TEST_USER", "alice");
    EXPECT_EQ(ExpandFolderMacros("%DOCS%\\x"), "E:\\from-env\\X");
    EXPECT_EQ(ExpandFolderMacros("%quillet_test_user%"), "alice");
}

TEST_F(FolderMacrosTest, HostFolderEndsInASeparator) {
    const std::string expanded = ExpandFolderMacros("%DAX PATH%");
    EXPECT_EQ(expanded, FolderOf(platform::HostProgramPath()));
    ASSERT_FALSE(expanded.empty());
    EXPECT_EQ(expanded.back(), '\\');
}

}  // namespace
}  // namespace quillet
