#include "config/u_IniSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "plugin/main.h"
#include "test_support.h"

namespace quillet {
namespace {

TEST(IniFileNameFor, ReplacesOrAppendsTheExtension) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\Programs\\Host\\Plugins\\Quillet.dll", "C:\\Programs\\Host\\Plugins\\Quillet.ini"},
        {"C:\\a.b\\Quillet", "C:\\a.b\\Quillet.ini"},
        {"C:\\a\\Quillet.x.dll", "C:\\a\\Quillet.x.ini"},
        {"C:\\a\\Quillet.", "C:\\a\\Quillet.ini"},
        {"C:\\a\\.dll", "C:\\a\\.ini"},
        {"C:Quillet.dll", "C:Quillet.ini"},
        {"D.x:Quillet", "D.x:Quillet.ini"},
        {"Quillet", "Quillet.ini"},
        {"", ".ini"},
    };
    for (const auto& [path, expected] : cases) EXPECT_EQ(IniFileNameFor(path), expected) << path;
}

TEST(SettingsFileName, LiesBesideTheLibrary) {
    test::TempFolder folder;
    test::ScopedPluginPath plugin(folder);
    EXPECT_EQ(SettingsFileName(), plugin.settingsFile());
}

struct ReadCase {
    const char* name;
    std::string file;  // empty: no settings file
    std::string key;
    std::string defaultValue;
    std::string expected;
};

TEST(ReadSetting, ReadsSectionSettingsWithItsDefault) {
    const std::string longValue(3000, 'x');
    const std::vector<ReadCase> cases = {
        {"no file", "", "PathFolder2", "History", "History"},
        {"empty value gives the default", "[Settings]\r\nPathFolder2=\r\n", "PathFolder2",
         "History", "History"},
        {"blank value gives the default", "[Settings]\r\nPathFolder2=  \t\r\n", "PathFolder2",
         "History", "History"},
        {"names in lower case", "[settings]\r\npathfolder2=Logs\r\n", "PathFolder2", "History",
         "Logs"},
        {"blanks around the value", "[Settings]\r\nPathFileExt=  log  \r\n", "PathFileExt", "txt",
         "log"},
        {"quoted value", "[Settings]\r\nPathFolder1=\" C:\\a \"\r\n", "PathFolder1", "d",
         " C:\\a "},
        {"value cut to 2047 characters", "[Settings]\r\nPathFile1=" + longValue + "\r\n",
         "PathFile1", "d", longValue.substr(0, 2047)},
        {"other sections do not count", "[Translate]\r\nPathFolder2=x\r\n", "PathFolder2",
         "History", "History"},
        {"missing key, default with a trailing blank", "[Settings]\r\n", "PathFolderCustom",
         "C:\\ ", "C:\\"},
    };
    for (const ReadCase& c : cases) {
        test::TempFolder folder;
        test::ScopedPluginPath plugin(folder);
        if (!c.file.empty()) test::WriteBytes(folder.native("Quillet.ini"), c.file);
        EXPECT_EQ(ReadSetting(c.key, c.defaultValue), c.expected) << c.name;
    }
}

TEST(ReadIniValue, GivesEmptyTextForWhatIsMissing) {
    test::TempFolder folder;
    const std::string file = folder.path("German.ini");
    EXPECT_EQ(ReadIniValue("TRANSLATOR", "NativeName", file), "");
    test::WriteBytes(
        folder.native("German.ini"),
        "[translator]\r\nnativename=Deutsch\r\nver=\r\n[Settings]\r\nPathFolder2=x\r\n");
    EXPECT_EQ(ReadIniValue("TRANSLATOR", "NativeName", file), "Deutsch");
    EXPECT_EQ(ReadIniValue("TRANSLATOR", "ver", file), "");
    EXPECT_EQ(ReadIniValue("TRANSLATOR", "Author", file), "");
    EXPECT_EQ(ReadIniValue("Settings", "PathFolder1", file), "");
}

TEST(WriteSetting, StoresValuesThatReadBack) {
    test::TempFolder folder;
    test::ScopedPluginPath plugin(folder);
    WriteSetting("PathFolder1", "%QUILLET PATH%");
    WriteSetting("PathFileExt", "  log  ");
    EXPECT_EQ(test::ReadBytes(folder.native("Quillet.ini")),
              "[Settings]\r\nPathFolder1=%QUILLET PATH%\r\nPathFileExt=  log  \r\n");
    EXPECT_EQ(ReadSetting("PathFileExt", "txt"), "log");
    WriteSetting("PathFolder1", "D:\\Logs");
    EXPECT_EQ(ReadSetting("pathfolder1", "x"), "D:\\Logs");
}

TEST(WriteSetting, LeavesTheLanguageSectionAsItWas) {
    test::TempFolder folder;
    test::ScopedPluginPath plugin(folder);
    test::WriteBytes(folder.native("Quillet.ini"),
                     "[Translate]\nCurLang=German.ini\n\n[Settings]\nPathFolder2=a\n");
    WriteSetting("PathFolder2", "b");
    WriteSetting("PathFileExt", "log");
    EXPECT_EQ(test::ReadBytes(folder.native("Quillet.ini")),
              "[Translate]\nCurLang=German.ini\n\n[Settings]\nPathFolder2=b\nPathFileExt=log\r\n");
}

std::string WriteSettingError(std::string_view key, std::string_view value) {
    try {
        WriteSetting(key, value);
    } catch (const SettingsWriteError& error) {
        return error.what();
    }
    return "no error";
}

TEST(WriteSetting, RefusedWriteNamesTheSettingsFile) {
    test::TempFolder folder;
    test::ScopedPluginPath plugin(folder);
    std::filesystem::create_directory(folder.native("Quillet.ini"));
    EXPECT_EQ(WriteSettingError("PathFolder1", "x"),
              "Unable to write to " + plugin.settingsFile() + "\na folder has its name");
    EXPECT_TRUE(std::filesystem::is_empty(folder.native("Quillet.ini")));
}

TEST(WriteSetting, MissingFolderIsARefusedWrite) {
    test::TempFolder folder;
    test::ScopedPluginPath plugin(folder);
    PluginPath = folder.path("gone\\Quillet.dll");
    const std::string message = WriteSettingError("PathFolder1", "x");
    const std::string told = "Unable to write to " + folder.path("gone\\Quillet.ini") + "\n";
    EXPECT_EQ(message.rfind(told, 0), 0u) << message;
    EXPECT_GT(message.size(), told.size()) << "the system's reason follows";
}

TEST(WriteSetting, RefusesALineBreakAndSaysWhy) {
    test::TempFolder folder;
    test::ScopedPluginPath plugin(folder);
    test::WriteBytes(folder.native("Quillet.ini"), "[Settings]\r\nPathFolder2=a\r\n");
    const std::string message = WriteSettingError("PathFolder2", "b\r\nPathFolder1=C:\\evil");
    EXPECT_EQ(message.rfind("Unable to write to " + plugin.settingsFile() + ": ", 0), 0u)
        << message;
    EXPECT_NE(message.find("PathFolder2"), std::string::npos) << message;
    EXPECT_NE(message.find("line break"), std::string::npos) << message;
    EXPECT_EQ(test::ReadBytes(folder.native("Quillet.ini")), "[Settings]\r\nPathFolder2=a\r\n");

    // Save's write of all the settings stores none of them then, not those before the bad one.
    SettingTexts texts;
    texts.fill("x");
    texts[static_cast<std::size_t>(Setting::PathFolder2)] = std::string("b\nc");
    EXPECT_THROW(WriteSettings(texts), SettingsWriteError);
    EXPECT_EQ(test::ReadBytes(folder.native("Quillet.ini")), "[Settings]\r\nPathFolder2=a\r\n");
    EXPECT_EQ(SettingsValues::AfterWriting("[Settings]\r\nPathFolder2=a\r\n", texts),
              SettingsValues::FromFileBytes("[Settings]\r\nPathFolder2=a\r\n"));
}

}  // namespace
}  // namespace quillet
