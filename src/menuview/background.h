#pragma once
// The background picture the page is reset from: the menu background colour with
// either the user's picture or the built-in picture over it.
#include <string>

#include "menuview/image.h"
#include "menuview/options.h"

namespace morvex::menuview {

// The built-in 1920 x 1080 picture with transparency: a soft vignette, a faint
// 120-pixel grid and the title-safe and action-safe frames, so button positions can
// be judged against the screen while the menu background colour shows through.
const Image& builtInBackground();

// Builds the 1920 x 1080 background for the options (`changeBackground`). A user PNG is
// drawn with its transparency over the background colour; a bitmap is drawn opaque at
// the top-left. Pictures smaller than the page leave the colour around them, larger
// ones are cut at the page's edges. When the user picture cannot be loaded the result
// falls back to the built-in picture and `error` holds the picture library's message.
Image buildBackground(const DisplayOptions& opt, std::string& error);

}  // namespace morvex::menuview
