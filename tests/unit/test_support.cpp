#include "test_support.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "platform/platform.h"
#include "plugin/main.h"
#if !defined(_WIN32)
#include "platform/posix/environment_cache.h"
#endif

namespace quillet::test {

namespace fs = std::filesystem;

namespace {
std::atomic<unsigned> folderCounter{0};

// A number of this test process's own, so that processes running side by side (ctest -j) try
// different folder names from the first.
unsigned ProcessTag() {
    static const unsigned tag = std::random_device{}();
    return tag;
}

void SetEnv(const std::string& name, const std::optional<std::string>& value) {
#if defined(_WIN32)
    _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
    if (value) {
        setenv(name.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name.c_str());
    }
    platform::posix::EnvironmentChanged();
#endif
}
}  // namespace

TempFolder::TempFolder() {
    const auto base = fs::temp_directory_path();
    for (;;) {
        std::ostringstream name;
        name << "quillet-test-" << ProcessTag() << "-" << folderCounter++;
        root_ = base / name.str();
        if (fs::create_directory(root_)) break;
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

std::string TempFolder::path() const {
    return PluginFormPath(root_) + "\\";
}

std::string TempFolder::path(std::string_view name) const {
    return path() + std::string(name);
}

fs::path TempFolder::native(std::string_view name) const {
    return name.empty() ? root_ : NativePath(path(name));
}

fs::path NativePath(const std::string& pluginPath) {
#if defined(_WIN32)
    return fs::path(pluginPath);
#else
    if (pluginPath.size() < 2 || (pluginPath[0] != 'Z' && pluginPath[0] != 'z') ||
        pluginPath[1] != ':') {
        throw std::invalid_argument("not a path on drive Z: " + pluginPath);
    }
    std::string native = pluginPath.substr(2);
    for (char& c : native) {
        if (c == '\\') c = '/';
    }
    return fs::path(native.empty() ? "/" : native);
#endif
}

std::string PluginFormPath(const fs::path& native) {
#if defined(_WIN32)
    return native.string();
#else
    std::string text = fs::absolute(native).lexically_normal().string();
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    for (char& c : text) {
        if (c == '/') c = '\\';
    }
    return "Z:" + text;
#endif
}

void WriteBytes(const fs::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::optional<std::string> ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string Utf16File(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    SetEnv(name_, value);
}

ScopedEnv::~ScopedEnv() {
    SetEnv(name_, old_);
}

namespace {
void ClearLists() {
    ExcludeList.clear();
    AliasFromList.clear();
    AliasToList.clear();
}
}  // namespace

ScopedPluginPath::ScopedPluginPath(const TempFolder& folder)
    : old_(PluginPath), settings_(folder.path("Quillet.ini")) {
    PluginPath = folder.path("Quillet.dll");
    ClearLists();
}

ScopedPluginPath::~ScopedPluginPath() {
    PluginPath = old_;
    ClearLists();
}

std::string ScopedPluginPath::settingsFile() const {
    return settings_;
}

fs::path BuiltModule() {
    return fs::path(QUILLET_MODULE_FILE);
}

namespace {
std::vector<ShownMessage> shownMessages;
std::function<void()> whileNextBoxIsOpen;
void CatchShownMessage(const std::string& text, const std::string& caption) {
    shownMessages.push_back({text, caption});
    if (auto action = std::exchange(whileNextBoxIsOpen, nullptr)) action();
}
}  // namespace

HostedPlugin::HostedPlugin() {
    shownMessages.clear();
    platform::SetMessageObserver(CatchShownMessage);
    CreateCorvexPLUGIN(&plugin_, nullptr);
    if (!plugin_) throw std::runtime_error("the export made no plug-in object");
}

HostedPlugin::~HostedPlugin() {
    whileNextBoxIsOpen = nullptr;
    plugin_->Release();
    platform::SetMessageObserver(nullptr);
}

std::int32_t HostedPlugin::Send(const TChatMessage& message, bool received,
                                std::int32_t hostResult) {
    TChatMessage copy = message;  // the host's record may be written by nobody but the host
    TPluginEvent event{received ? EVENT_MESSAGE_RECEIVED : EVENT_MESSAGE_SENT, &copy, 0, 0,
                       hostResult};
    plugin_->HandleEvent(&event);
    return event.Result;
}

std::vector<ShownMessage> HostedPlugin::TakeShown() {
    return std::exchange(shownMessages, {});
}

void HostedPlugin::WhileNextBoxIsOpen(std::function<void()> action) {
    whileNextBoxIsOpen = std::move(action);
}

TChatMessage BobsMessage(const char16_t* text) {
    return {0, 1197036309, u"ICQ", u"12345", u"Bob", u"777", u"Me", text, 0};
}

}  // namespace quillet::test
