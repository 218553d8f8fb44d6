#include "tools/cratesmith/textures.h"

#include "tools/cratesmith/data_folder.h"

namespace tincrates::cratesmith {

void makeTextures(DataFolder& data)
{
    for (const char* name : {"tinplate.png", "leadtin.png", "corrugated.png", "rust.png",
                             "hazard.png", "lamp.png", "envmap.png"})
        data.writeImage(name, Image(64, 64, 0xFF808080u));
    data.writeImage("white.png", Image(8, 8, 0xFFFFFFFFu));
    data.writeImage("black.png", Image(8, 8, 0xFF000000u));
}

} // namespace tincrates::cratesmith
