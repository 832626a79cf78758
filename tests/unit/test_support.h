// Helpers shared by the unit tests of both builds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/main.h"

namespace quillet::test {

// A fresh, empty folder below the system's temporary folder, removed with everything in it when
// the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder in the Windows form the plug-in's code works with, ending in "\".
    std::string path() const;
    // A file or folder inside it, in that form ("name" may hold "\" for deeper levels).
    std::string path(std::string_view name) const;
    // The same in the operating system's own form, for the test's own file access.
    std::filesystem::path native(std::string_view name = {}) const;

private:
    std::filesystem::path root_;
};

// The operating system's own form of a path in the plug-in's Windows form.
std::filesystem::path NativePath(const std::string& pluginPath);
// The plug-in's Windows form of an operating-system path.
std::string PluginFormPath(const std::filesystem::path& native);

// Whole files as bytes, bypassing the platform layer.
void WriteBytes(const std::filesystem::path& file, std::string_view bytes);
std::optional<std::string> ReadBytes(const std::filesystem::path& file);

// The bytes of a UTF-16LE file with its byte-order mark.
std::string Utf16File(std::u16string_view text);

// Sets an environment variable (or removes it, for nullopt) and restores the old state at the
// end of the scope.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Points PluginPath at "Quillet.dll" inside a folder for the length of a scope, as start-up does,
// and empties the three lists before and after.
class ScopedPluginPath {
public:
    explicit ScopedPluginPath(const TempFolder& folder);
    ~ScopedPluginPath();
    ScopedPluginPath(const ScopedPluginPath&) = delete;
    ScopedPluginPath& operator=(const ScopedPluginPath&) = delete;

    // The settings file beside that library path.
    std::string settingsFile() const;

private:
    std::string old_;
    std::string settings_;
};

// The path of the built plug-in module (Quillet.dll or Quillet.so).
std::filesystem::path BuiltModule();

// A message box the plug-in showed, caught instead of shown.
struct ShownMessage {
    std::string text;
    std::string caption;
};

// The plug-in object as the host holds it, made through the library's export, with every message
// box caught for the test. One at a time: boxes are caught process-wide.
class HostedPlugin {
public:
    HostedPlugin();
    ~HostedPlugin();
    HostedPlugin(const HostedPlugin&) = delete;
    HostedPlugin& operator=(const HostedPlugin&) = delete;

    // Hands `message` over as a received (or sent) message event whose Result the host set to
    // `hostResult`; returns the Result the plug-in left.
    std::int32_t Send(const TChatMessage& message, bool received = true,
                      std::int32_t hostResult = 77);
    // Hands any event over as the host would.
    void Handle(TPluginEvent* event) { plugin_->HandleEvent(event); }
    // The boxes shown since the last call.
    std::vector<ShownMessage> TakeShown();
    // Runs `action` while the next box is open, as the host may deliver events during a box's
    // modal loop.
    void WhileNextBoxIsOpen(std::function<void()> action);

private:
    IDAXPlugin* plugin_ = nullptr;
};

// Bob (12345) writes to the user (777, "Me") over ICQ on 7 December 2007 at 14:05:09 UTC; the
// texts are literals that live as long as the program.
TChatMessage BobsMessage(const char16_t* text = u"hi");

}  // namespace quillet::test
