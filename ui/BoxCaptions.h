// The captions of the message boxes that the options dialog and its parts show.
#pragma once

namespace quillet {

// A failure: something could not be read, written or shown.
inline constexpr const char* ErrorCaption = "Error - Quillet";
// A question to the user, or what a task the user started came to.
inline constexpr const char* QuilletCaption = "Quillet";

}  // namespace quillet
