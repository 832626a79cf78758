// Everything one message event works with, built once at the start of the event and handed to the
// exclusion test, the path composition and the writer: the settings (one read of the settings
// file), the alias rules (one read of "aliases.ini"), the exclusion index, the code page, the user
// locale and time format they hold for, and the library's path. Nothing a context holds outlives
// its event: a message delivered while another one's message box is open builds its own, and so
// sees every file as it is then.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/PluginGlobals.h"
#include "config/u_IniSettings.h"
#include "config/u_SimpleAliases.h"
#include "platform/platform.h"

namespace quillet {

struct MessageContext {
    std::string pluginPath;
    unsigned codePage = 0;
    std::uint32_t locale = 0;
    platform::TimeFormat timeFormat;
    SettingsValues settings;
    std::shared_ptr<const AliasRules> aliases;
    std::shared_ptr<const ExclusionIndex> exclusions;
};

// The context of a message for the library at `pluginPath` whose exclusion list is
// `excludeList`: the settings file and "aliases.ini" beside it are read once each, or looked at
// and taken as last read when the file system shows them unchanged (KeptFileBytes). What is
// made from those bytes and from the list is kept between events, but only for the same bytes,
// the same version of the list, code page and locale, so the context is always what a fresh
// reading would give.
MessageContext BuildMessageContext(const std::string& pluginPath,
                                   const VersionedLines& excludeList);

// What the options dialog holds, saved or not: each setting's text as its Save writes it, and
// the texts of the alias rules' and the exclusion list's editors.
struct UnsavedOptions {
    SettingTexts settings;
    std::string aliasesText;
    std::string excludeText;
};

// The context a message of the library at `pluginPath` would have once `options` were saved
// into the settings file that holds `settingsFileBytes` now and into the two list files, and
// the lists reloaded, as the dialog's Save and its closing do. Reads nothing but its arguments
// and the code page, locale and time format in force.
MessageContext ContextAfterSaving(const std::string& pluginPath, std::string_view settingsFileBytes,
                                  const UnsavedOptions& options);

}  // namespace quillet
