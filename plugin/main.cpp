#include "plugin/main.h"

#include <cstring>
#include <exception>
#include <optional>

#include "config/MessageContext.h"
#include "config/u_SimpleAliases.h"
#include "history/DateTime.h"
#include "history/uHistorySave.h"
#include "platform/platform.h"
#include "ui/u_options.h"

namespace quillet {

const std::u16string PluginName = u"Quillet";
const std::u16string PluginAuthor = u"Ostrel software";

namespace {
constexpr const char* kErrorCaption = "Error - Quillet";
constexpr const char* kFailedWrite = "Failed write to history";

// A host text up to its first NUL; a null pointer is the empty text.
std::u16string CopyText(const char16_t* text) {
    return text ? std::u16string(text) : u"";
}

// The message seen from the user's side: the other party is the contact.
THistoryRec BuildHistoryRec(const TChatMessage& message, bool received) {
    THistoryRec rec;
    rec.Protocol = CopyText(message.Protocol);
    const char16_t* contactUin = received ? message.SenderUIN : message.RecipientUIN;
    const char16_t* contactName = received ? message.SenderName : message.RecipientName;
    const char16_t* myUin = received ? message.RecipientUIN : message.SenderUIN;
    const char16_t* myName = received ? message.RecipientName : message.SenderName;
    rec.ContactUIN = CopyText(contactUin);
    rec.ContactName = CopyText(contactName);
    rec.MyUIN = CopyText(myUin);
    rec.MyName = CopyText(myName);
    rec.MsgText = CopyText(message.MsgText);
    rec.MsgTime = UnixSecondsToDateTime(message.MsgTime);
    rec.Incoming = received;
    rec.Outgoing = !received;
    return rec;
}

// The box for a history file that cannot be written: what failed, the file, and the system's
// reason in its own words.
std::string FailedWriteText(const platform::SystemError& error) {
    return std::string(kFailedWrite) + "\n" + error.path() + "\n" + error.reason();
}

// Writes the message unless its contact is excluded; the folder of its file that could not be
// created, and why, when one could not. The settings file and the alias rules are read once,
// into the message's context, when the message arrives. Throws whatever fails on the way.
std::optional<platform::SystemError> WriteUnlessExcluded(const TChatMessage& message, bool received,
                                                         MessageContextMaker makeContext) {
    const THistoryRec rec = BuildHistoryRec(message, received);
    const MessageContext context = makeContext(PluginPath, ExcludeList);
    std::optional<platform::SystemError> folderError;
    if (!IsExcluded(*context.exclusions, platform::WideToAnsi(rec.ContactUIN),
                    platform::WideToAnsi(rec.ContactName))) {
        SaveHistory(context, rec, folderError);
    }
    return folderError;
}
}  // namespace

// A folder that cannot be created is told to the user with its path and the system's reason,
// and the message counts as handled; a file that cannot be written is told with its path and
// the system's reason, and any other failure (running out of memory while the context is made
// from a huge rule file) with what failed; then Result keeps the value it had (0 for a sent
// message, the host's own for a received one). Either way the next message tries again.
void RecordMessage(TPluginEvent& event, bool received, MessageContextMaker makeContext) {
    if (!event.Data) return;
    const auto& message = *static_cast<const TChatMessage*>(event.Data);
    if (received && message.Suppressed != 0) return;
    if (!received) event.Result = 0;
    try {
        if (const auto folderError = WriteUnlessExcluded(message, received, makeContext)) {
            platform::ShowMessage(FailedWriteText(*folderError), kErrorCaption);
        }
    } catch (const platform::SystemError& error) {
        platform::ShowMessage(FailedWriteText(error), kErrorCaption);
        return;
    } catch (const std::exception& error) {
        platform::ShowMessage(std::string(kFailedWrite) + "\n" + error.what(), kErrorCaption);
        return;
    } catch (...) {
        platform::ShowMessage(kFailedWrite, kErrorCaption);
        return;
    }
    event.Result = 1;
}

namespace {
// The options event: the dialog, then the lists it may have saved take effect. Sent again while
// the dialog (or its box) is open, it only brings that to the front: the event that opened it
// reloads the lists when it closes.
void ShowOptions() {
    if (ShowOptionsDialog()) ReloadLists();
}
}  // namespace

bool SameGuid(const TGuid& a, const TGuid& b) {
    return std::memcmp(&a, &b, sizeof(TGuid)) == 0;
}

TDaxPlugin::TDaxPlugin(IDAXPluginService* service) : FPluginService(service) {
    if (FPluginService) FPluginService->AddRef();
    AliasFromList.clear();
    AliasToList.clear();
    ExcludeList.clear();
}

TDaxPlugin::~TDaxPlugin() {
    AliasFromList.clear();
    AliasToList.clear();
    ExcludeList.clear();
    if (FPluginService) FPluginService->Release();
}

std::int32_t QUILLET_STDCALL TDaxPlugin::QueryInterface(const TGuid* iid, void** result) {
    if (!result) return E_NOINTERFACE_;
    *result = nullptr;
    if (!iid) return E_NOINTERFACE_;
    // IDAXPlugin and IUnknown are served by the same interface pointer: its first three slots
    // are IUnknown's.
    if (SameGuid(*iid, IID_IDAXPlugin) || SameGuid(*iid, IID_IUnknown)) {
        *result = static_cast<IDAXPlugin*>(this);
        AddRef();
        return S_OK_;
    }
    return E_NOINTERFACE_;
}

std::uint32_t QUILLET_STDCALL TDaxPlugin::AddRef() {
    return static_cast<std::uint32_t>(++refCount_);
}

std::uint32_t QUILLET_STDCALL TDaxPlugin::Release() {
    const std::int32_t count = --refCount_;
    if (count == 0) delete this;
    return static_cast<std::uint32_t>(count);
}

TPluginInfo* QUILLET_STDCALL TDaxPlugin::GetPluginInfo() {
    return &FPluginInfo;
}

void QUILLET_STDCALL TDaxPlugin::HandleEvent(TPluginEvent* event) {
    // Nothing may unwind into the host: every handler runs inside this net. Failures a handler
    // must tell the user about are caught and shown by that handler itself.
    try {
        if (!event) return;
        switch (event->EventCode) {
            case EVENT_STARTUP:
                StartUp();
                break;
            case EVENT_SHOW_OPTIONS:
                ShowOptions();
                break;
            case EVENT_MESSAGE_RECEIVED:
                RecordMessage(*event, true);
                break;
            case EVENT_MESSAGE_SENT:
                RecordMessage(*event, false);
                break;
            default:
                break;  // codes the plug-in has no use for; Result stays as the host set it
        }
    } catch (...) {
    }
}

void TDaxPlugin::StartUp() {
    FDllPath = platform::ModuleFileName(FPluginInfo.DllHandle);
    FPluginInfo.DllPath = FDllPath.c_str();
    PluginPath = platform::WideToAnsi(FDllPath);
    FPluginInfo.Version1 = 1;
    FPluginInfo.Version2 = 2;
    FPluginInfo.PluginVerMajor = PluginVersionMajor;
    FPluginInfo.PluginVerMinor = PluginVersionMinor;
    FPluginInfo.PluginName = PluginName.c_str();
    FPluginInfo.PluginAuthor = PluginAuthor.c_str();
    FinishInterruptedSaves();
    ReloadLists();
}

// A Save cut short by a crash or a power cut left the new or the old contents of a file under
// another name: before anything reads them, each file gets its whole contents back.
void TDaxPlugin::FinishInterruptedSaves() {
    for (const std::string& file :
         {SettingsFileName(), AliasesFileName(PluginPath), ExcludeFileName(PluginPath)}) {
        try {
            platform::FinishInterruptedReplace(file);
        } catch (const platform::SystemError&) {
            // Left for the next Save of the file, which tries again.
        }
    }
}

}  // namespace quillet

extern "C" void QUILLET_STDCALL CreateCorvexPLUGIN(quillet::IDAXPlugin** plugin,
                                                   quillet::IDAXPluginService* service) {
    // The service is held for the length of the call, released on every way out.
    struct CallReference {
        quillet::IDAXPluginService* service;
        explicit CallReference(quillet::IDAXPluginService* s) : service(s) {
            if (service) service->AddRef();
        }
        ~CallReference() {
            if (service) service->Release();
        }
    } callReference(service);
    try {
        if (!plugin) return;
        auto* created = new quillet::TDaxPlugin(service);
        created->AddRef();
        quillet::IDAXPlugin* previous = *plugin;
        *plugin = created;
        if (previous) previous->Release();
    } catch (...) {
        // Out of memory while creating the object: the host's variable keeps what it held.
    }
}
