// An input as the production's archive, read as the production reads it (openDataFile, with its
// password) and walked whole with that password.
#include "fuzz/archive_lookup.h"

TINCRATES_FUZZ_TARGET(archive_lookup)
{
    tincrates::fuzz::lookUpInArchive(input, tincrates::dataArchivePassword);
}
