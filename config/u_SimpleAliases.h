// Unit u_SimpleAliases: the alias rules of "aliases.ini" and the exclusion list of "Exclude.ini",
// both in the plug-in's folder.
#pragma once

#include <string>

namespace quillet {

// Empties AliasFromList and AliasToList and refills them from "aliases.ini" in the folder of
// `libraryPath`. A missing file, or one that cannot be read, leaves both lists empty.
void LoadAliases(const std::string& libraryPath);

// Reloads the rules from "aliases.ini" beside PluginPath into AliasFromList and AliasToList and
// applies each, in file order, to `text`: every occurrence of its left text (ignoring letter
// case) becomes its right text. Both passes of one message read the same bytes of the file.
std::string ApplyAliases(const std::string& text);

// Refills the rule lists and ExcludeList from the plug-in's folder (at start-up and after the
// options dialog).
void ReloadLists();

// True when ExcludeList holds an entry equal, ignoring letter case, to the contact's identifier
// or to its name (both in the ANSI code page, as the host gave them).
bool IsExcluded(const std::string& contactUin, const std::string& contactName);

}  // namespace quillet
