// An input as a material file, loaded through the material manager. Without a device, the
// textures it names fail to load, as they would on a machine that cannot make them.
#include "assets/material_manager.h"
#include "fuzz/fuzz_target.h"

TINCRATES_FUZZ_TARGET(material_file)
{
    tincrates::fuzz::enterWorkFolder();
    tincrates::fuzz::writeWorkFile("data/fuzz.material", input);
    tincrates::MaterialManager materials;
    try {
        materials.get("fuzz.material");
    } catch (const std::string&) {
    }
}
