#include "config/PluginGlobals.h"

namespace quillet {

std::string PluginPath;
std::vector<std::string> ExcludeList;
std::vector<std::string> AliasFromList;
std::vector<std::string> AliasToList;

}  // namespace quillet
