#include "tools/host/host_service.h"

#include <cstring>

namespace quillet::host {

namespace {

bool SameIdentifier(const TGuid& a, const TGuid& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

std::int32_t QUILLET_STDCALL HostService::QueryInterface(const TGuid* iid, void** result) {
    if (result == nullptr) return E_NOINTERFACE_;
    *result = nullptr;
    if (iid == nullptr || !SameIdentifier(*iid, IID_IUnknown)) return E_NOINTERFACE_;
    AddRef();
    *result = static_cast<IDAXPluginService*>(this);
    return S_OK_;
}

std::uint32_t QUILLET_STDCALL HostService::AddRef() {
    return static_cast<std::uint32_t>(++references_);
}

// The host owns the object, so the count may reach zero (a plug-in that releases more than it
// took) without anything being destroyed; the host's check then reports it.
std::uint32_t QUILLET_STDCALL HostService::Release() {
    return static_cast<std::uint32_t>(--references_);
}

void QUILLET_STDCALL HostService::HostReserved3() { ++serviceCalls_; }

void QUILLET_STDCALL HostService::HostReserved4() { ++serviceCalls_; }

}  // namespace quillet::host
