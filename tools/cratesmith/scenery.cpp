#include "tools/cratesmith/scenery.h"

#include "tools/cratesmith/data_folder.h"

namespace tincrates::cratesmith {

void makeScenery(DataFolder&) {}

} // namespace tincrates::cratesmith
