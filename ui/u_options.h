// Unit u_options: the options dialog.
#pragma once

namespace quillet {

// Shows the options dialog modally and returns when the user closes it.
void ShowOptionsDialog();

}  // namespace quillet
