#include "tools/cratesmith/lettering.h"

#include "tools/cratesmith/data_folder.h"

#include <cstdio>

namespace tincrates::cratesmith {

void makeLettering(DataFolder& data, const std::string&)
{
    for (int i = 0; i <= 22; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "text%02i.png", i);
        Image image(704, 240, 0x80FFFFFFu);
        image.hasAlpha = true;
        data.writeImage(name, image);
    }
    Image credits(704, 240, 0x80FFFFFFu);
    credits.hasAlpha = true;
    data.writeImage("credits.png", credits);
}

} // namespace tincrates::cratesmith
