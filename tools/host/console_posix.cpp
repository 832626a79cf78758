#include "tools/host/console.h"

namespace quillet::host {

void UseUtf8Console() {}

}  // namespace quillet::host
