// An input as the production's archive, read with the production's password.
#include "fuzz/archive_lookup.h"

TINCRATES_FUZZ_TARGET(archive_lookup)
{
    tincrates::fuzz::lookUpInArchive(input, tincrates::dataArchivePassword);
}
