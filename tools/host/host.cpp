#include "tools/host/host.h"

#include <map>
#include <ostream>
#include <stdexcept>
#include <string_view>

#include "platform/host.h"
#include "platform/platform.h"
#include "plugin/u_plugin_msg.h"
#include "tools/host/host_service.h"
#include "tools/host/replay.h"
#include "tools/host/utf.h"

namespace quillet::host {

namespace {

// The value the host puts into Event.Result before each call, so that a Result the plug-in
// did not write shows as such.
constexpr std::int32_t kResultNotWritten = -1;

class LoadFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The loaded library; freed when the object goes.
class Module {
public:
    explicit Module(const std::string& path) : handle_(platform::LoadModule(path)) {
        if (handle_ == nullptr)
            throw LoadFailure("cannot load " + path + ": " + platform::LastLoadError());
    }
    ~Module() { platform::FreeModule(handle_); }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    void* handle() const { return handle_; }

    CreateCorvexPLUGINProc entry() const {
        void* address = platform::FindExport(handle_, "CreateCorvexPLUGIN");
        if (address == nullptr)
            throw LoadFailure("the library has no export CreateCorvexPLUGIN: " +
                              platform::LastLoadError());
        return reinterpret_cast<CreateCorvexPLUGINProc>(address);
    }

private:
    void* handle_;
};

// The host's one reference to the plug-in, released explicitly to read the count, or when the
// object goes on an early exit.
class PluginReference {
public:
    PluginReference(CreateCorvexPLUGINProc create, HostService& service) {
        create(&plugin_, &service);
        if (plugin_ == nullptr) throw LoadFailure("CreateCorvexPLUGIN returned no interface");
    }
    ~PluginReference() {
        if (plugin_ != nullptr) plugin_->Release();
    }
    PluginReference(const PluginReference&) = delete;
    PluginReference& operator=(const PluginReference&) = delete;

    IDAXPlugin& operator*() const { return *plugin_; }
    IDAXPlugin* operator->() const { return plugin_; }

    // Drops the reference; returns the count the plug-in reports afterwards.
    std::uint32_t Release() {
        IDAXPlugin* plugin = plugin_;
        plugin_ = nullptr;
        return plugin->Release();
    }

private:
    IDAXPlugin* plugin_ = nullptr;
};

std::string Printable(const char16_t* text) {
    return text == nullptr ? "(null)" : Utf16ToUtf8(text);
}

std::string EventName(std::int32_t code) {
    switch (code) {
        case EVENT_STARTUP: return "EVENT_STARTUP";
        case EVENT_SHOW_OPTIONS: return "EVENT_SHOW_OPTIONS";
        case EVENT_MESSAGE_RECEIVED: return "EVENT_MESSAGE_RECEIVED";
        case EVENT_MESSAGE_SENT: return "EVENT_MESSAGE_SENT";
        default: return "event " + std::to_string(code);
    }
}

std::string DescribeResult(std::int32_t result) {
    return result == kResultNotWritten ? "Result not written" : "Result " + std::to_string(result);
}

// Sends one event and returns the Result the plug-in left in the record.
std::int32_t SendEvent(IDAXPlugin& plugin, std::int32_t code, void* data) {
    TPluginEvent event{};
    event.EventCode = code;
    event.Data = data;
    event.Result = kResultNotWritten;
    plugin.HandleEvent(&event);
    return event.Result;
}

void SendReported(IDAXPlugin& plugin, std::int32_t code, const HostOptions& options,
                  std::ostream& out) {
    const std::int32_t result = SendEvent(plugin, code, nullptr);
    if (!options.quiet) out << EventName(code) << ": " << DescribeResult(result) << '\n';
}

void PrintInfo(const std::string& path, const TPluginInfo& info, std::ostream& out) {
    out << "plug-in " << path << '\n'
        << "  DllPath:  " << Printable(info.DllPath) << '\n'
        << "  versions: " << info.Version1 << ' ' << info.Version2 << ' ' << info.PluginVerMajor
        << ' ' << info.PluginVerMinor << " (plug-in version " << info.PluginVerMajor << '.'
        << info.PluginVerMinor << ")\n"
        << "  name:     " << Printable(info.PluginName) << '\n'
        << "  author:   " << Printable(info.PluginAuthor) << '\n';
}

// The number of messages in the file; throws ReplayFileError at its first malformed line.
std::size_t CountMessages(const std::string& path) {
    ReplayReader reader(path);
    std::size_t count = 0;
    while (reader.Next()) ++count;
    return count;
}

struct ReplayTally {
    std::size_t messages = 0;
    std::map<std::int32_t, std::size_t> byResult;
};

void ReportMessage(const ReplayMessage& message, std::size_t line, std::int32_t result,
                   std::ostream& out) {
    const auto uin = [](const std::optional<std::u16string>& text) {
        return text ? Utf16ToUtf8(*text) : "(null)";
    };
    out << "line " << line << ": " << EventName(EventCodeFor(message.direction)) << ' '
        << uin(message.senderUin) << " -> " << uin(message.recipientUin)
        << (message.suppressed ? " (suppressed)" : "") << ": " << DescribeResult(result) << '\n';
}

ReplayTally Replay(IDAXPlugin& plugin, const std::string& path, std::size_t total,
                   const HostOptions& options, std::ostream& out, std::ostream& err) {
    ReplayTally tally;
    ReplayReader reader(path);
    while (const auto message = reader.Next()) {
        TChatMessage record = ToChatMessage(*message);
        const std::int32_t result = SendEvent(plugin, EventCodeFor(message->direction), &record);
        ++tally.messages;
        ++tally.byResult[result];
        if (!options.quiet) ReportMessage(*message, reader.lineNumber(), result, out);
        if (options.progressEvery != 0 && tally.messages % options.progressEvery == 0)
            err << "progress: " << tally.messages << " of " << total << " messages\n" << std::flush;
    }
    return tally;
}

void PrintTally(const ReplayTally& tally, std::ostream& out) {
    out << "replayed " << tally.messages << " messages";
    const char* separator = ": ";
    for (const auto& [result, count] : tally.byResult) {
        out << separator << count << " with " << DescribeResult(result);
        separator = ", ";
    }
    out << '\n';
}

// Releases the host's reference and reports whether the plug-in is gone and the service holds
// what it held before the plug-in was created.
bool ReleaseAndCheck(PluginReference& plugin, const HostService& service,
                     std::int32_t referencesBefore, std::ostream& out) {
    const std::uint32_t pluginCount = plugin.Release();
    const std::int32_t referencesAfter = service.references();
    const bool balanced = pluginCount == 0 && referencesAfter == referencesBefore;
    out << "plug-in released: its count is " << pluginCount << (pluginCount == 0 ? "" : " (not 0)")
        << "; service references " << referencesBefore << " before, " << referencesAfter
        << " after: " << (referencesAfter == referencesBefore ? "balanced" : "NOT balanced")
        << '\n';
    if (service.serviceCalls() != 0)
        out << "note: the plug-in called the service's own operations " << service.serviceCalls()
            << " times\n";
    return balanced;
}

int RunLoaded(const HostOptions& options, std::size_t replayTotal, std::ostream& out,
              std::ostream& err) {
    HostService service;
    const std::int32_t referencesBefore = service.references();
    bool balanced = false;
    {
        Module module(options.pluginPath);
        PluginReference plugin(module.entry(), service);
        TPluginInfo* info = plugin->GetPluginInfo();
        if (info == nullptr) throw LoadFailure("GetPluginInfo returned no record");
        info->DllHandle = module.handle();
        SendReported(*plugin, EVENT_STARTUP, options, out);
        PrintInfo(options.pluginPath, *info, out);
        for (const std::int32_t code : options.rawEvents) SendReported(*plugin, code, options, out);
        if (options.showOptions) SendReported(*plugin, EVENT_SHOW_OPTIONS, options, out);
        if (options.replayPath)
            PrintTally(Replay(*plugin, *options.replayPath, replayTotal, options, out, err), out);
        balanced = ReleaseAndCheck(plugin, service, referencesBefore, out);
    }
    return balanced ? kExitOk : kExitReferencesWrong;
}

}  // namespace

int RunHost(const HostOptions& options, std::ostream& out, std::ostream& err) {
    std::size_t replayTotal = 0;
    try {
        if (options.replayPath) replayTotal = CountMessages(*options.replayPath);
    } catch (const std::exception& e) {
        err << "quillet-host: " << e.what() << '\n';
        return kExitBadReplay;
    }
    try {
        return RunLoaded(options, replayTotal, out, err);
    } catch (const LoadFailure& e) {
        err << "quillet-host: " << e.what() << '\n';
        return kExitLoadFailed;
    } catch (const std::exception& e) {
        err << "quillet-host: " << e.what() << '\n';
        return kExitBadReplay;
    }
}

}  // namespace quillet::host
