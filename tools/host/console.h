// The console the host prints to.
#pragma once

namespace quillet::host {

// Makes the console show the UTF-8 the host prints (Windows consoles default to an OEM code
// page); nothing to do where terminals take UTF-8 already.
void UseUtf8Console();

}  // namespace quillet::host
