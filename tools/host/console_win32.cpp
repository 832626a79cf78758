#include <windows.h>

#include "tools/host/console.h"

namespace quillet::host {

void UseUtf8Console() { SetConsoleOutputCP(CP_UTF8); }

}  // namespace quillet::host
