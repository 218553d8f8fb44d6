// An input packed by the archive writer and read back by the reader; any difference aborts.
// The first byte chooses the level (0 to 5), solid and encryption; the second how many members
// the rest is cut into.
#include "datafiles/archive_reader.h"
#include "datafiles/archive_writer.h"
#include "fuzz/fuzz_target.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

TINCRATES_FUZZ_TARGET(compressor_round_trip)
{
    using namespace tincrates;
    if (input.size() < 2)
        return;
    ArchiveSettings settings;
    settings.level = input[0] % 6;
    settings.isSolid = (input[0] & 0x08) != 0;
    settings.password = (input[0] & 0x10) != 0 ? "Kd7M" : "";
    size_t memberCount = 1 + input[1] % 4;
    std::span<const uint8_t> content = input.subspan(2);

    fuzz::enterWorkFolder();
    std::vector<std::span<const uint8_t>> members;
    for (size_t i = 0; i < memberCount; ++i) {
        size_t begin = content.size() * i / memberCount;
        size_t end = content.size() * (i + 1) / memberCount;
        members.push_back(content.subspan(begin, end - begin));
    }
    try {
        ArchiveWriter writer("round_trip.rar", settings);
        for (size_t i = 0; i < members.size(); ++i)
            writer.addMember("m" + std::to_string(i), members[i], 0);
        writer.finish();
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "compressor_round_trip: cannot write: %s\n", error.what());
        std::abort();
    }
    for (size_t i = 0; i < members.size(); ++i) {
        std::vector<uint8_t> back;
        std::string name = "m" + std::to_string(i);
        ArchiveError result =
            extractArchiveMember("round_trip.rar", name.c_str(), settings.password.c_str(), back);
        if (result != ArchiveError::ok
            || !std::equal(back.begin(), back.end(), members[i].begin(), members[i].end())) {
            std::fprintf(stderr,
                         "compressor_round_trip: member %zu of %zu (level %d%s%s) %s\n", i,
                         members.size(), settings.level, settings.isSolid ? ", solid" : "",
                         settings.password.empty() ? "" : ", encrypted",
                         result == ArchiveError::ok ? "reads back different"
                                                    : describeArchiveError(result).c_str());
            std::abort();
        }
    }
}
