// The host's service object, handed to the plug-in at creation.
#pragma once

#include <atomic>
#include <cstdint>

#include "plugin/u_plugin_info.h"

namespace quillet::host {

// An IDAXPluginService that belongs to the host (it is never deleted through its interface):
// it counts the references taken on it, starting with the host's own one, and counts calls of
// its two service operations, which a plug-in has no business calling.
class HostService final : public IDAXPluginService {
public:
    HostService() = default;
    ~HostService() = default;
    HostService(const HostService&) = delete;
    HostService& operator=(const HostService&) = delete;

    // Answers IUnknown's identifier with itself (one reference added); the service has no
    // identifier of its own, so anything else gets E_NOINTERFACE and a null result.
    std::int32_t QUILLET_STDCALL QueryInterface(const TGuid* iid, void** result) override;
    std::uint32_t QUILLET_STDCALL AddRef() override;
    std::uint32_t QUILLET_STDCALL Release() override;
    void QUILLET_STDCALL HostReserved3() override;
    void QUILLET_STDCALL HostReserved4() override;

    // References held now, the host's own included.
    std::int32_t references() const { return references_; }
    // Calls of the two service operations so far.
    std::uint32_t serviceCalls() const { return serviceCalls_; }

private:
    std::atomic<std::int32_t> references_{1};
    std::atomic<std::uint32_t> serviceCalls_{0};
};

}  // namespace quillet::host
