#include "ui/u_options.h"

#include "platform/platform.h"

namespace quillet {

void ShowOptionsDialog() {
    // The dialog itself is not part of this build yet; the user is told so instead of seeing
    // nothing happen.
    platform::ShowMessage("The options dialog is not available in this build of Quillet.",
                          "Quillet");
}

}  // namespace quillet
