// File services of the platform layer on a fresh temporary folder, natively and under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "platform/platform.h"
#include "platform/probes.h"
#include "test_support.h"

namespace quillet {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;
namespace fs = std::filesystem;

TEST(PlatformFiles, ExistenceTellsFilesFromFolders) {
    const TempFolder temp;
    WriteBytes(temp.native("file.txt"), "x");
    fs::create_directory(temp.native("folder"));
    EXPECT_TRUE(platform::FileExists(temp.path("file.txt")));
    EXPECT_FALSE(platform::FolderExists(temp.path("file.txt")));
    EXPECT_FALSE(platform::FileExists(temp.path("folder")));
    EXPECT_TRUE(platform::FolderExists(temp.path("folder")));
    EXPECT_TRUE(platform::FolderExists(temp.path()));
    EXPECT_FALSE(platform::FileExists(temp.path("missing")));
    EXPECT_FALSE(platform::FolderExists(temp.path("missing")));
    EXPECT_FALSE(platform::FileExists(""));
    EXPECT_FALSE(platform::FolderExists(""));
}

TEST(PlatformFiles, CreateFolderMakesOneLevelAndReportsFailures) {
    const TempFolder temp;
    platform::CreateFolder(temp.path("new"));
    EXPECT_TRUE(fs::is_directory(temp.native("new")));
    const std::string failing[] = {
        temp.path("new"),             // exists already
        temp.path("missing\\child"),  // parent missing
    };
    for (const std::string& path : failing) {
        try {
            platform::CreateFolder(path);
            ADD_FAILURE() << "no error for " << path;
        } catch (const platform::SystemError& error) {
            EXPECT_NE(error.code(), 0u) << path;
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        }
    }
}

TEST(PlatformFiles, AppendCreatesThenAppends) {
    const TempFolder temp;
    const std::string file = temp.path("history.txt");
    platform::AppendToFile(file, "first\r\n");
    EXPECT_EQ(ReadBytes(temp.native("history.txt")), "first\r\n");
    platform::AppendToFile(file, "second\r\n");
    platform::AppendToFile(file, "");
    EXPECT_EQ(ReadBytes(temp.native("history.txt")), "first\r\nsecond\r\n");
}

TEST(PlatformFiles, LargeAppendArrivesWhole) {
    const TempFolder temp;
    std::string bytes(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 251);
    platform::AppendToFile(temp.path("big.bin"), "head");
    platform::AppendToFile(temp.path("big.bin"), bytes);
    EXPECT_EQ(ReadBytes(temp.native("big.bin")), "head" + bytes);
}

TEST(PlatformFiles, WritingWhereAFolderIsFails) {
    const TempFolder temp;
    fs::create_directory(temp.native("taken"));
    for (const auto write : {&platform::AppendToFile, &platform::WriteWholeFile}) {
        EXPECT_THROW(write(temp.path("taken"), "x"), platform::SystemError);
        EXPECT_THROW(write(temp.path("missing\\file.txt"), "x"), platform::SystemError);
    }
    EXPECT_TRUE(fs::is_directory(temp.native("taken")));
}

TEST(PlatformFiles, WriteWholeFileReplacesTheContent) {
    const TempFolder temp;
    platform::WriteWholeFile(temp.path("aliases.ini"), "a long first content");
    platform::WriteWholeFile(temp.path("aliases.ini"), "short");
    EXPECT_EQ(ReadBytes(temp.native("aliases.ini")), "short");
    platform::WriteWholeFile(temp.path("aliases.ini"), "");
    EXPECT_EQ(ReadBytes(temp.native("aliases.ini")), "");
}

// A replace that fails at any step, or is stopped there by a crash and put right by the next
// one, leaves the file's name with all of the old bytes or all of the new, and no leftovers.
TEST(PlatformFiles, ReplaceFailingOrCutAtAnyStepLeavesOldOrNewWhole) {
    const platform::SystemError failure("step", "file", 5, "refused");
    const auto fail = [&](auto&&...) -> void { throw failure; };
    const platform::ReplaceSteps& system = platform::SystemReplaceSteps();
    struct Case {
        const char* name;
        std::function<void(platform::ReplaceSteps&)> breakStep;
        const char* expected;  // what the name holds after the failure
    };
    const Case cases[] = {
        {"create",
         [&](auto& steps) { steps.create = [&](auto&) -> std::intptr_t { throw failure; }; },
         "old"},
        {"write", [&](auto& steps) { steps.write = fail; }, "old"},
        {"flush",
         [&](auto& steps) {
             steps.flushAndClose = [&](std::intptr_t file, auto&) {
                 system.discard(file);
                 throw failure;
             };
         },
         "old"},
        {"swap", [&](auto& steps) { steps.swap = fail; }, "old"},
        // ReplaceFileW's partial outcomes: the old file moved to the backup name, then stopped.
        {"swap half-way",
         [&](auto& steps) {
             steps.swap = [&](auto& path, auto&, auto& backup) {
                 system.rename(path, backup);
                 throw failure;
             };
         },
         "new"},
        {"swap half-way, no move",
         [&](auto& steps) {
             steps.swap = [&](auto& path, auto&, auto& backup) {
                 system.rename(path, backup);
                 throw failure;
             };
             steps.rename = [&](auto& from, auto& to) {
                 if (from.find(".quillet-new") != std::string::npos) throw failure;
                 system.rename(from, to);
             };
         },
         "old"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const TempFolder temp;
        const std::string file = temp.path("Exclude.ini");
        WriteBytes(temp.native("Exclude.ini"), "old");
        platform::ReplaceSteps steps = system;
        test.breakStep(steps);
        const bool failed = [&] {
            try {
                platform::FileReplacement replacement(file, steps);
                replacement.Write("new");
                replacement.PutInPlace();
                return false;
            } catch (const platform::SystemError&) {
                return true;
            }
        }();
        EXPECT_EQ(failed, std::string(test.expected) == "old");
        EXPECT_EQ(ReadBytes(temp.native("Exclude.ini")), test.expected);
        platform::FinishInterruptedReplace(file);
        EXPECT_EQ(ReadBytes(temp.native("Exclude.ini")), test.expected);
        EXPECT_EQ(std::distance(fs::directory_iterator(temp.native()), {}), 1);
    }
    // A crash leaves the names as they were at that moment; the next replace puts them right.
    struct Leftovers {
        const char* name;
        std::optional<std::string> file, fresh, backup;
        const char* expected;
    };
    const Leftovers crashes[] = {
        {"while writing", "old", "ne", std::nullopt, "old"},
        {"after the backup link", "old", "new", "old", "old"},
        {"between the moves", std::nullopt, "new", "old", "new"},
        {"before removing the backup", "new", std::nullopt, "old", "new"},
        {"first write, not yet moved", std::nullopt, "new", std::nullopt, ""},
    };
    for (const Leftovers& crash : crashes) {
        SCOPED_TRACE(crash.name);
        const TempFolder temp;
        const auto put = [&](const char* name, const std::optional<std::string>& bytes) {
            if (bytes) WriteBytes(temp.native(name), *bytes);
        };
        put("Exclude.ini", crash.file);
        put("Exclude.ini.quillet-new", crash.fresh);
        put("Exclude.ini.quillet-old", crash.backup);
        platform::FinishInterruptedReplace(temp.path("Exclude.ini"));
        EXPECT_EQ(ReadBytes(temp.native("Exclude.ini")).value_or(""), crash.expected);
        EXPECT_FALSE(fs::exists(temp.native("Exclude.ini.quillet-new")));
        EXPECT_FALSE(fs::exists(temp.native("Exclude.ini.quillet-old")));
    }
}

// Another program that holds the file (open for writing, or all of it locked) may make a
// replace fail, never leave the file cut: 24 000 bytes stay 24 000 bytes.
TEST(PlatformFiles, ReplaceOfAFileOthersHoldLeavesItOldOrNew) {
    const std::string old(24000, 'o');
    int applied = 0;
    for (const auto hold :
         {&platform::HoldOpenForWriting, &platform::HoldWithoutSharing, &platform::LockWholeFile}) {
        const TempFolder temp;
        WriteBytes(temp.native("Exclude.ini"), old);
        platform::ObstaclePtr held = hold(temp.path("Exclude.ini"));
        if (!held) continue;
        ++applied;
        try {
            platform::WriteWholeFile(temp.path("Exclude.ini"), old + "Eve\r\n");
        } catch (const platform::SystemError&) {
        }
        held.reset();
        const auto after = ReadBytes(temp.native("Exclude.ini")).value_or("");
        EXPECT_TRUE(after == old || after == old + "Eve\r\n") << after.size() << " bytes";
        EXPECT_EQ(std::distance(fs::directory_iterator(temp.native()), {}), 1);
    }
    if (applied == 0) GTEST_SKIP() << "Linux has no sharing modes or mandatory locks";
}

TEST(PlatformFiles, ReadWholeFileGivesBytesOrNothing) {
    const TempFolder temp;
    const std::string bytes("line\r\n\0\xFF\x80 end", 12);
    WriteBytes(temp.native("Exclude.ini"), bytes);
    WriteBytes(temp.native("empty.ini"), "");
    fs::create_directory(temp.native("folder.ini"));
    EXPECT_EQ(platform::ReadWholeFile(temp.path("Exclude.ini")), bytes);
    EXPECT_EQ(platform::ReadWholeFile(temp.path("empty.ini")), "");
    EXPECT_EQ(platform::ReadWholeFile(temp.path("missing.ini")), std::nullopt);
    EXPECT_EQ(platform::ReadWholeFile(temp.path("folder.ini")), std::nullopt);
    EXPECT_EQ(platform::ReadWholeFile(temp.path("no\\such\\folder.ini")), std::nullopt);
}

// Windows resolves "..", "." and doubled separators before the file system sees a path, and
// drops the dots and blanks that end a name; both layers must name the same file.
TEST(PlatformFiles, PathsResolveAsOnWindows) {
    const TempFolder temp;
    fs::create_directory(temp.native("sub"));
    const std::pair<std::string, std::string> cases[] = {
        {"missing\\..\\up.txt", "up.txt"},
        {"sub\\.\\dot.txt", "sub/dot.txt"},
        {"sub\\\\double.txt", "sub/double.txt"},
        {"sub/slash.txt", "sub/slash.txt"},
        {"Bob. ", "Bob"},
        {"sub.\\trimmed.txt", "sub/trimmed.txt"},
    };
    for (const auto& [written, found] : cases) {
        platform::WriteWholeFile(temp.path(written), written);
        EXPECT_EQ(ReadBytes(temp.native() / found), written) << written;
        EXPECT_TRUE(platform::FileExists(temp.path(written))) << written;
    }
}

std::set<std::pair<std::string, bool>> Listing(const std::string& folder, const std::string& mask) {
    std::set<std::pair<std::string, bool>> names;
    for (const platform::FolderEntry& entry : platform::ListFolder(folder, mask)) {
        names.insert({entry.name, entry.isFolder});
    }
    return names;
}

TEST(PlatformFiles, ListFolderMatchesTheMaskIgnoringCase) {
    const TempFolder temp;
    WriteBytes(temp.native("Deutsch.ini"), "");
    WriteBytes(temp.native("RUSSIAN.INI"), "");
    WriteBytes(temp.native("Deutsch.ico"), "");
    WriteBytes(temp.native("notes.ini.bak"), "");
    fs::create_directory(temp.native("old.ini"));
    using Names = std::set<std::pair<std::string, bool>>;
    EXPECT_EQ(Listing(temp.path(), "*.ini"),
              (Names{{"Deutsch.ini", false}, {"RUSSIAN.INI", false}, {"old.ini", true}}));
    EXPECT_EQ(Listing(temp.path(), "deutsch.*"),
              (Names{{"Deutsch.ini", false}, {"Deutsch.ico", false}}));
    EXPECT_EQ(Listing(temp.path(), "?eutsch.ic?"), (Names{{"Deutsch.ico", false}}));
    EXPECT_EQ(Listing(temp.path(), "*.txt"), Names{});
    EXPECT_EQ(Listing(temp.path("missing\\"), "*"), Names{});
    // "*" lists everything, with the "." and ".." that callers skip.
    const Names all = Listing(temp.path(), "*");
    EXPECT_EQ(all.size(), 7u);
    EXPECT_TRUE(all.count({".", true}) == 1 && all.count({"..", true}) == 1);
}

#if !defined(_WIN32)
// Wine maps names outside ASCII only when a matching glibc locale exists, so this runs natively.
TEST(PlatformFilesPosix, NarrowNamesAreAnsiAndLinuxNamesUtf8) {
    const TempFolder temp;
    platform::WriteWholeFile(temp.path("caf\xE9.txt"), "x");
    EXPECT_TRUE(fs::exists(temp.native() / fs::path(u8"caf\u00E9.txt")));
    EXPECT_EQ(Listing(temp.path(), "CAF\xC9.*"),
              (std::set<std::pair<std::string, bool>>{{"caf\xE9.txt", false}}));
}

TEST(PlatformFilesPosix, DriveLettersMapThroughTheEnvironment) {
    const TempFolder temp;
    const test::ScopedEnv mapped("QUILLET_DRIVE_Q", temp.native().string() + "/");
    const test::ScopedEnv unmapped("QUILLET_DRIVE_R", std::nullopt);
    platform::WriteWholeFile("Q:\\on-q.txt", "q");
    platform::CreateFolder("q:\\folder");
    EXPECT_EQ(ReadBytes(temp.native() / "on-q.txt"), "q");
    EXPECT_TRUE(platform::FolderExists("Q:\\folder\\"));
    EXPECT_TRUE(platform::FolderExists("Q:\\..\\..\\folder"));  // never above the drive's root
    EXPECT_FALSE(platform::FileExists("R:\\on-q.txt"));
    EXPECT_EQ(platform::ReadWholeFile("R:\\on-q.txt"), std::nullopt);
    try {
        platform::CreateFolder("R:\\folder");
        ADD_FAILURE() << "an unmapped drive must be missing";
    } catch (const platform::SystemError& error) {
        EXPECT_EQ(error.code(), 2u);  // ENOENT
        EXPECT_EQ(std::string(error.what()).rfind("mkdir R:\\folder: ", 0), 0u) << error.what();
    }
}

TEST(PlatformFilesPosix, PathsWithoutDriveAreOnZOrRelative) {
    const TempFolder temp;
    const std::string onZ = temp.path("rooted.txt").substr(2);  // "\tmp\...\rooted.txt"
    platform::WriteWholeFile(onZ, "z");
    EXPECT_EQ(ReadBytes(temp.native() / "rooted.txt"), "z");
    EXPECT_FALSE(platform::FileExists("\\\\server\\share\\rooted.txt"));

    const fs::path before = fs::current_path();
    fs::current_path(temp.native());
    platform::WriteWholeFile("relative.txt", "r");
    const bool found =
        platform::FileExists("..\\" + temp.native().filename().string() + "\\relative.txt");
    fs::current_path(before);
    EXPECT_EQ(ReadBytes(temp.native() / "relative.txt"), "r");
    EXPECT_TRUE(found);
}
#endif

}  // namespace
}  // namespace quillet
