// What the two archive targets share: the production's lookups and the tool's walks over an
// input taken as the archive "stashpack".
#pragma once

#include "datafiles/archive_reader.h"
#include "datafiles/data_file.h"
#include "fuzz/fuzz_target.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace tincrates::fuzz {

inline void lookUpInArchive(std::span<const uint8_t> input, const char* password)
{
    enterWorkFolder();
    writeWorkFile(dataArchiveName, input);

    std::vector<ArchiveEntry> entries;
    uint64_t stoppedAt = 0;
    listArchiveMembers(dataArchiveName, entries, &stoppedAt);
    // The first members the archive names and one it lacks, as the production asks for them
    // (openDataFile, with its own password) or as a lookup without a password does.
    std::vector<std::string> names{"absent"};
    for (size_t i = 0; i < entries.size() && i < 2; ++i)
        names.push_back(entries[i].name);
    for (const std::string& name : names) {
        if (password) {
            std::string problem;
            closeDataFile(openDataFile(name.c_str(), &problem));
            continue;
        }
        uint8_t* data = nullptr;
        uint32_t size = 0;
        if (getArchiveMember(&data, &size, name.c_str(), dataArchiveName, password))
            std::free(data);
    }
    // The tool's walk over every member, which `stash test` and `stash extract` make.
    extractAllMembers(dataArchiveName, password,
                      [](const ArchiveEntry&, ArchiveError, const uint8_t*, uint64_t) {
                          return true;
                      });
}

} // namespace tincrates::fuzz
