// Environment, folders, time format, modules and messages of the platform layer, natively and
// under Wine; the POSIX mapping's own variables are tested natively.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/ansi_call_text.h"
#include "platform/host.h"
#include "platform/platform.h"
#include "test_support.h"

namespace quillet {
namespace {

using test::ScopedEnv;
using test::TempFolder;
namespace fs = std::filesystem;

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(PlatformEnvironment, ExpandsDefinedReferencesOnly) {
    const ScopedEnv defined("QUILLET_TEST_VALUE", "D:\\Chats");
    const ScopedEnv undefined("QUILLET_TEST_UNSET", std::nullopt);
    const std::pair<std::string, std::string> cases[] = {
        {"%QUILLET_TEST_VALUE%\\LOG", "D:\\Chats\\LOG"},
        {"a%QUILLET_TEST_VALUE%b%QUILLET_TEST_VALUE%",
         "aD:\\Chatsb"
         "D:\\Chats"},
        {"%quillet_test_value%", "D:\\Chats"},  // names ignore case as on Windows
        {"%QUILLET_TEST_UNSET%\\X", "%QUILLET_TEST_UNSET%\\X"},
        {"%NO SUCH VARIABLE%", "%NO SUCH VARIABLE%"},
        {"100%", "100%"},
        {"%", "%"},
        {"%%", "%%"},
        {"50% of %QUILLET_TEST_VALUE%", "50% of %QUILLET_TEST_VALUE%"},  // "% of " is a name
        {"", ""},
        {"no references", "no references"},
    };
    for (const auto& [text, expanded] : cases) {
        EXPECT_EQ(platform::ExpandEnvironment(text), expanded) << text;
    }
}

// An ANSI call's text is what precedes the NUL it wrote, whatever length it reported: under Wine
// with a double-byte code page the reported length counts UTF-16 units, and a buffer of that size
// takes part of the text without a NUL. Each call here converts its characters in whole, the
// NUL only when it fits, as Wine's do.
TEST(AnsiCallText, ABufferWithoutTheCallsNulWasTooSmall) {
    enum class Reports { Utf16Units, Bytes, CapacityWhenCut, Failure };
    const struct {
        std::vector<std::string> characters;
        Reports reports;
        std::optional<std::string> text;
    } cases[] = {
        {{"\x83\x61", "\x83\x65", "\\", "1.TXT"}, Reports::Utf16Units, "\x83\x61\x83\x65\\1.TXT"},
        {{"C:", "\\", "\x95\x5C", "\x8E\xA6"}, Reports::Utf16Units, "C:\\\x95\x5C\x8E\xA6"},
        {{"C:", "\\", "\x95\x5C", "\x8E\xA6"}, Reports::Bytes, "C:\\\x95\x5C\x8E\xA6"},
        {{std::string(300, 'a')}, Reports::CapacityWhenCut, std::string(300, 'a')},
        {{}, Reports::Bytes, ""},
        {{"C:"}, Reports::Failure, std::nullopt},
    };
    for (const auto& c : cases) {
        std::string whole;
        std::size_t units = 0;
        for (const std::string& character : c.characters) {
            whole += character;
            units += character.size() == 2 && static_cast<unsigned char>(character[0]) >= 0x80
                         ? 1
                         : character.size();
        }
        const auto call = [&](char* buffer, std::size_t capacity) -> std::size_t {
            std::size_t written = 0;
            for (const std::string& character : c.characters) {
                if (written + character.size() > capacity) break;
                whole.copy(buffer + written, character.size(), written);
                written += character.size();
            }
            if (written == whole.size() && written < capacity) buffer[written] = '\0';
            switch (c.reports) {
                case Reports::Utf16Units:
                    return units + 1;
                case Reports::Bytes:
                    return whole.size() + 1;
                case Reports::CapacityWhenCut:
                    return std::min(whole.size() + 1, capacity);
                case Reports::Failure:
                    return 0;
            }
            return 0;
        };
        // The first buffer is the size the call asks for, as the platform layer makes it.
        EXPECT_EQ(platform::TextOfAnsiCall(call(nullptr, 0), call), c.text) << whole;
    }
}

TEST(PlatformEnvironment, ProgramAndModuleNames) {
    const std::string program = platform::HostProgramPath();
    EXPECT_TRUE(platform::FileExists(program)) << program;
#if defined(_WIN32)
    EXPECT_TRUE(EndsWith(program, "\\quillet-unit-tests.exe")) << program;
#else
    EXPECT_TRUE(EndsWith(program, "\\quillet-unit-tests")) << program;
#endif
    EXPECT_EQ(platform::ModuleFileName(nullptr), platform::AnsiToWide(program));

    void* module = platform::LoadModule(test::BuiltModule().string());
    ASSERT_NE(module, nullptr) << platform::LastLoadError();
    const std::string name = platform::WideToAnsi(platform::ModuleFileName(module));
    EXPECT_TRUE(platform::FileExists(name)) << name;
#if defined(_WIN32)
    EXPECT_TRUE(EndsWith(name, "\\Quillet.dll")) << name;
#else
    EXPECT_EQ(name, test::PluginFormPath(test::BuiltModule()));
#endif
    EXPECT_NE(platform::FindExport(module, "CreateCorvexPLUGIN"), nullptr);
    EXPECT_EQ(platform::FindExport(module, "NoSuchExport"), nullptr);
    EXPECT_FALSE(platform::LastLoadError().empty());
    platform::FreeModule(module);

    int notAModule = 0;
    EXPECT_EQ(platform::ModuleFileName(&notAModule), u"");
}

TEST(PlatformEnvironment, MissingModuleGivesNullAndAReason) {
    const TempFolder temp;
    EXPECT_EQ(platform::LoadModule(temp.native("missing.dll").string()), nullptr);
    EXPECT_FALSE(platform::LastLoadError().empty());
}

TEST(PlatformFolders, WindowsAndSpecialFoldersArePaths) {
    const std::string windows = platform::WindowsDirectory();
    EXPECT_TRUE(platform::FolderExists(windows)) << windows;
    for (const int csidl : {0, 5, 26, 28, 40}) {
        std::string path;
        EXPECT_EQ(platform::SpecialFolder(csidl, path), 0) << csidl;
        EXPECT_EQ(path.substr(1, 2), ":\\") << csidl << " " << path;
#if !defined(_WIN32)
        // Wine's shell gives some folders a final "\"; the POSIX layer never does.
        EXPECT_TRUE(path.size() == 3 || path.back() != '\\') << path;
#endif
    }
    std::string untouched = "unchanged";
    EXPECT_LT(platform::SpecialFolder(0x7FFF, untouched), 0);
    EXPECT_EQ(untouched, "unchanged");
}

TEST(PlatformMessages, ObserverSeesTheBoxInsteadOfTheUser) {
    static std::string seenText;
    static std::string seenCaption;
    platform::SetMessageObserver([](const std::string& text, const std::string& caption) {
        seenText = text;
        seenCaption = caption;
    });
    platform::ShowMessage("Failed write to history", "Error - Quillet");
    platform::SetMessageObserver(nullptr);
    EXPECT_EQ(seenText, "Failed write to history");
    EXPECT_EQ(seenCaption, "Error - Quillet");
}

#if defined(_WIN32)
// Wine without LANG takes the en-US locale: 2:05:09 PM.
TEST(PlatformTime, UserLocaleUnderWine) {
    const platform::TimeFormat format = platform::UserTimeFormat();
    EXPECT_FALSE(format.leadingZero);
    EXPECT_TRUE(format.twelveHour);
    EXPECT_FALSE(format.designatorFirst);
    EXPECT_EQ(format.separator, ":");
    EXPECT_EQ(format.am, "AM");
    EXPECT_EQ(format.pm, "PM");
}
#else
struct Picture {
    const char* picture;
    bool leadingZero, twelveHour, designatorFirst;
    const char* separator;
};

TEST(PlatformTimePosix, WindowsPictureOverridesTheLocale) {
    const ScopedEnv am("QUILLET_TIME_AM", std::nullopt);
    const ScopedEnv pm("QUILLET_TIME_PM", std::nullopt);
    const Picture cases[] = {
        {"HH:mm:ss", true, false, false, ":"},   {"H:mm:ss", false, false, false, ":"},
        {"h:mm:ss tt", false, true, false, ":"}, {"tt h:mm:ss", false, true, true, ":"},
        {"hh.mm.ss", true, true, false, "."},    {"HH'h'mm", true, false, false, "h"},
        {"HHmmss", true, false, false, ":"},  // no separator given: ":"
    };
    for (const Picture& c : cases) {
        const ScopedEnv picture("QUILLET_TIME_FORMAT", c.picture);
        const platform::TimeFormat format = platform::UserTimeFormat();
        EXPECT_EQ(format.leadingZero, c.leadingZero) << c.picture;
        EXPECT_EQ(format.twelveHour, c.twelveHour) << c.picture;
        EXPECT_EQ(format.designatorFirst, c.designatorFirst) << c.picture;
        EXPECT_EQ(format.separator, c.separator) << c.picture;
        EXPECT_EQ(format.am, "AM") << c.picture;
        EXPECT_EQ(format.pm, "PM") << c.picture;
    }
    const ScopedEnv picture("QUILLET_TIME_FORMAT", "tt hh:mm:ss");
    const ScopedEnv morning("QUILLET_TIME_AM", "\xE5\x8D\x88\xE5\x89\x8D");  // 午前, not in 1252
    const ScopedEnv evening("QUILLET_TIME_PM", "nachm.");
    EXPECT_EQ(platform::UserTimeFormat().am, "??");
    EXPECT_EQ(platform::UserTimeFormat().pm, "nachm.");
}

TEST(PlatformTimePosix, CLocaleIsTwentyFourHours) {
    const ScopedEnv picture("QUILLET_TIME_FORMAT", std::nullopt);
    const ScopedEnv all("LC_ALL", "C");
    const platform::TimeFormat format = platform::UserTimeFormat();
    EXPECT_TRUE(format.leadingZero);
    EXPECT_FALSE(format.twelveHour);
    EXPECT_EQ(format.separator, ":");
    EXPECT_EQ(format.am, "AM");
    EXPECT_EQ(format.pm, "PM");
}

TEST(PlatformFoldersPosix, FoldersComeFromTheEnvironment) {
    const TempFolder temp;
    fs::create_directory(temp.native("config"));
    const std::string home = temp.native().string();
    const ScopedEnv homeVariable("HOME", home);
    const ScopedEnv config("XDG_CONFIG_HOME", home + "/config/");
    const ScopedEnv data("XDG_DATA_HOME", std::nullopt);
    const ScopedEnv desktop("XDG_DESKTOP_DIR", std::nullopt);
    const ScopedEnv documents("XDG_DOCUMENTS_DIR", std::nullopt);
    const ScopedEnv windows("QUILLET_WINDOWS_DIR", std::nullopt);
    const auto folder = [](int csidl) {
        std::string path;
        EXPECT_EQ(platform::SpecialFolder(csidl, path), 0) << csidl;
        return path;
    };
    EXPECT_EQ(folder(5), temp.path("Documents"));
    EXPECT_EQ(folder(0), temp.path("Desktop"));
    EXPECT_EQ(folder(26), temp.path("config"));
    EXPECT_EQ(folder(28), temp.path(".local\\share"));
    EXPECT_EQ(folder(40), temp.path().substr(0, temp.path().size() - 1));
    EXPECT_EQ(folder(38), "Z:\\opt");
    EXPECT_EQ(platform::WindowsDirectory(), "Z:\\usr");

    std::ofstream(temp.native("config") / "user-dirs.dirs")
        << "# written by xdg-user-dirs-update\n"
        << "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
        << "XDG_DOCUMENTS_DIR=\"/srv/docs/\"\n";
    EXPECT_EQ(folder(0), temp.path("Schreibtisch"));
    EXPECT_EQ(folder(5), "Z:\\srv\\docs");
    const ScopedEnv overridden("XDG_DOCUMENTS_DIR", "/data/papers");
    EXPECT_EQ(folder(5), "Z:\\data\\papers");

    const ScopedEnv linuxForm("QUILLET_WINDOWS_DIR", "/opt/win");
    EXPECT_EQ(platform::WindowsDirectory(), "Z:\\opt\\win");
    const ScopedEnv windowsForm("QUILLET_WINDOWS_DIR", "C:\\Windows");
    EXPECT_EQ(platform::WindowsDirectory(), "C:\\Windows");
}

// GetModuleFileNameW fills 261 units at most; a longer path is cut there, not overrun.
TEST(PlatformEnvironmentPosix, LongModuleNameIsCutAt261Units) {
    const TempFolder temp;
    const fs::path deep = temp.native() / std::string(200, 'd') / std::string(100, 'e');
    fs::create_directories(deep);
    fs::copy_file(test::BuiltModule(), deep / "Quillet.so");
    void* module = platform::LoadModule((deep / "Quillet.so").string());
    ASSERT_NE(module, nullptr) << platform::LastLoadError();
    const std::u16string name = platform::ModuleFileName(module);
    platform::FreeModule(module);
    const std::u16string full = platform::AnsiToWide(test::PluginFormPath(deep / "Quillet.so"));
    EXPECT_EQ(name, full.substr(0, 261));
}

// The address reaches the browser as one argument, however many shell characters it holds.
TEST(PlatformWebPosix, AddressGoesToXdgOpenUnchanged) {
    const TempFolder temp;
    const fs::path received = temp.native("received.txt");
    const fs::path opener = temp.native("xdg-open");
    std::ofstream(opener) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << received.string() << ".part'\n"
                          << "mv '" << received.string() << ".part' '" << received.string()
                          << "'\n";
    fs::permissions(opener, fs::perms::owner_all);
    const char* oldPath = std::getenv("PATH");
    const ScopedEnv path("PATH",
                         temp.native().string() + ":" + (oldPath ? oldPath : "/usr/bin:/bin"));
    const std::string address = "http://example.com/?a=1&b=$(touch pwned)'\"";
    platform::OpenWebAddress(address);
    for (int i = 0; i < 500 && !fs::exists(received); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(test::ReadBytes(received), address);
    EXPECT_FALSE(fs::exists("pwned"));
}
#endif

}  // namespace
}  // namespace quillet
