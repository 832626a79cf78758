// What both message-path benchmarks time (natively, and for the DLL under Windows): the cases,
// the rule files they start from, the message they send and the lines they print.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "config/u_IniSettings.h"
#include "plugin/u_plugin_info.h"
#include "plugin/u_plugin_msg.h"

namespace quillet::bench {

constexpr std::uint32_t kMessageTime = 1197036309;  // 7 December 2007, 14:05:09

struct CaseSetup {
    int aliasRules = 0;
    int excludedEntries = 0;
    int contacts = 1;
    bool largeHistory = false;
    bool savedSettings = false;  // a settings file, as the options dialog's Save leaves it
};

struct NamedCase {
    const char* name;
    CaseSetup setup;
};

// The cases timed against the floor (RATIO lines).
inline constexpr NamedCase kRatioCases[] = {
    {"default", {}},
    {"saved_settings", {.savedSettings = true}},
    {"aliases_100", {.aliasRules = 100}},
    {"exclude_10000", {.excludedEntries = 10000}},
    {"history_1GB", {.largeHistory = true}},
    {"contacts_1000", {.contacts = 1000}},
};

// The numbers of alias rules and of exclusion entries timed for the SCALE lines.
inline constexpr int kScales[] = {10, 1000, 100000};

// Rule and list lines that never match the benchmark's paths or contacts, so every one of them
// is read and tried but the files land where the default templates put them.
inline std::string NumberedLines(const char* prefix, int count, const char* suffix) {
    std::string text;
    for (int i = 0; i < count; ++i) text += prefix + std::to_string(i) + suffix + "\r\n";
    return text;
}
inline std::string AliasFileFor(const CaseSetup& setup) {
    return NumberedLines("nomatch", setup.aliasRules, "==elsewhere");
}
inline std::string ExcludeFileFor(const CaseSetup& setup) {
    return NumberedLines("someone", setup.excludedEntries, "");
}

// The settings file of a user who saved the options once, with the writer's own defaults (the
// history goes where it goes without the file).
inline std::string SettingsFileFor(const CaseSetup&) {
    std::string text = "[Settings]\r\n";
    for (const SettingRow& row : SettingsTable) {
        text += std::string(row.key) + "=" + std::string(row.defaultValue) + "\r\n";
    }
    return text;
}

// The identifier of the benchmark's contact number `contact`.
inline std::string ContactUin(int contact) {
    return "1000" + std::to_string(contact);
}

// The received message every case sends to a contact.
inline TChatMessage MessageFrom(const char16_t* contactUin) {
    return {0, kMessageTime, u"ICQ", contactUin, u"Bob", u"777", u"Me", u"hi", 0};
}

// Hands that message to the plug-in as a received-message event; throws unless it was recorded.
inline void SendReceived(IDAXPlugin& plugin, const char16_t* contactUin) {
    TChatMessage message = MessageFrom(contactUin);
    TPluginEvent event{EVENT_MESSAGE_RECEIVED, &message, 0, 0, 0};
    plugin.HandleEvent(&event);
    if (event.Result != 1) throw std::runtime_error("message not recorded");
}

inline void PrintRatioHeader() {
    std::printf("RATIO  case               plugin_us   floor_us   ratio\n");
}
inline void PrintRatio(const char* name, double plugin, double floor) {
    std::printf("RATIO  %-16s %10.2f %10.2f %7.2f\n", name, plugin, floor, plugin / floor);
    std::fflush(stdout);
}
inline void PrintScaleHeader() {
    std::printf("\nSCALE  entries    alias_rules_us  exclude_entries_us  floor_us\n");
}
inline void PrintScale(int entries, double aliases, double excluded, double floor) {
    std::printf("SCALE  %-9d %15.2f %19.2f %9.2f\n", entries, aliases, excluded, floor);
    std::fflush(stdout);
}

}  // namespace quillet::bench
