// The production's lettering: the timed text lines and the credits, set with FreeType.
#pragma once

#include <string>

namespace tincrates::cratesmith {

class DataFolder;

// Writes "text00.png" to "text22.png" and "credits.png", set in the font file `fontPath`.
// Throws std::runtime_error when the font cannot be read.
void makeLettering(DataFolder& data, const std::string& fontPath);

} // namespace tincrates::cratesmith
