// The POSIX side of the dialog toolkit: there is no screen to show a dialog on.
#include "platform/dialog.h"

namespace platform {

std::unique_ptr<Dialog> CreateDialog(const std::vector<ControlSpec>&, DialogEvents&) {
    return nullptr;
}

}  // namespace platform
