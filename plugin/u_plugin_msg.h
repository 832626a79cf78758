// The host's event and message records and the event codes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/u_plugin_info.h"

namespace quillet {

inline constexpr std::int32_t EVENT_STARTUP = 1;
inline constexpr std::int32_t EVENT_SHOW_OPTIONS = 6;
inline constexpr std::int32_t EVENT_MESSAGE_RECEIVED = 16;
inline constexpr std::int32_t EVENT_MESSAGE_SENT = 17;

// Accompanies every event; owned by the host, valid during one HandleEvent call.
struct TPluginEvent {
    std::int32_t EventCode;
    void* Data;                 // a TChatMessage for codes 16 and 17
    std::uintptr_t HostField8;  // the host's; never read
    std::uintptr_t HostField12; // the host's; never read
    std::int32_t Result;        // written for codes 16 and 17 only
};

// One chat message; owned by the host, valid during the call.
struct TChatMessage {
    std::uintptr_t HostField0;  // the host's; never read
    std::uint32_t MsgTime;      // seconds since 1970-01-01 00:00:00
    const char16_t* Protocol;
    const char16_t* SenderUIN;
    const char16_t* SenderName;
    const char16_t* RecipientUIN;
    const char16_t* RecipientName;
    const char16_t* MsgText;
    std::uint8_t Suppressed;    // received messages only
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(TPluginEvent, EventCode) == 0);
static_assert(offsetof(TPluginEvent, Data) == 4);
static_assert(offsetof(TPluginEvent, Result) == 16);
static_assert(sizeof(TPluginEvent) == 20);
static_assert(offsetof(TChatMessage, MsgTime) == 4);
static_assert(offsetof(TChatMessage, Protocol) == 8);
static_assert(offsetof(TChatMessage, SenderUIN) == 12);
static_assert(offsetof(TChatMessage, SenderName) == 16);
static_assert(offsetof(TChatMessage, RecipientUIN) == 20);
static_assert(offsetof(TChatMessage, RecipientName) == 24);
static_assert(offsetof(TChatMessage, MsgText) == 28);
static_assert(offsetof(TChatMessage, Suppressed) == 32);
#endif

}  // namespace quillet
