// An input as an archive read without a password, as `stash` reads one without -p.
#include "fuzz/archive_lookup.h"

TINCRATES_FUZZ_TARGET(archive_lookup_without_password)
{
    tincrates::fuzz::lookUpInArchive(input, nullptr);
}
