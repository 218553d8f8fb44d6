// A message for the person watching: a box on the screen where there is one, and always the
// same text on standard error, so a run without a screen still says what happened.
#pragma once

#include <string>

namespace tincrates {

// Writes `caption` + ": " (when the caption is not empty) + `text` + a line break to standard
// error; then, where a screen is available, shows the text in a box with one OK button, titled
// `caption` ("Error" when empty), and waits until it is dismissed. Never throws.
void showMessageBox(const std::string& text, const std::string& caption);

} // namespace tincrates
