// The production's soundtrack.
#pragma once

#include <string>

namespace tincrates::cratesmith {

// The MP3 bytes of "soundtrk.mp3".
std::string makeSoundtrack();

} // namespace tincrates::cratesmith
