// Every input the fuzzers found (kept in tests/data/fuzz/<target>/) and the hostile inputs of
// the shared fixtures, replayed through their fuzz targets: each must load or fail cleanly.
// Under the sanitizer build of the test command a stray read, write or leak fails them too.
#include "fuzz/fuzz_target.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace tincrates {
namespace {

namespace fs = std::filesystem;

struct ReplayInput {
    std::string target;
    fs::path file;
};

void PrintTo(const ReplayInput& input, std::ostream* out)
{
    *out << input.target << " " << input.file.filename().string();
}

// Hostile inputs of the shared fixtures and the targets that read their kind of file.
const std::pair<const char*, const char*> hostileFixtures[] = {
    {"mp3-soxr-null-output.mp3", "mp3_stream"},
    {"material-tinyxml-overread.mat", "material_file"},
};

std::vector<ReplayInput> replayInputs()
{
    std::vector<ReplayInput> inputs;
    fs::path found = fs::path(TINCRATES_SOURCE_DIR) / "tests/data/fuzz";
    for (const auto& [name, target] : fuzz::targets()) {
        std::error_code error;
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(found / name, error))
            if (entry.is_regular_file() && entry.path().filename() != "README.md")
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files)
            inputs.push_back({name, file});
    }
    fs::path hostile = fs::path(TINCRATES_FIXTURES_DIR) / "hostile";
    for (const auto& [file, target] : hostileFixtures)
        if (fs::exists(hostile / file))
            inputs.push_back({target, hostile / file});
    return inputs;
}

std::string inputName(const ::testing::TestParamInfo<ReplayInput>& info)
{
    std::string name = info.param.target + "_" + info.param.file.stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

class FuzzReplay : public ::testing::TestWithParam<ReplayInput> {};

TEST_P(FuzzReplay, LoadsOrFailsCleanly)
{
    const ReplayInput& input = GetParam();
    auto target = fuzz::targets().find(input.target);
    ASSERT_NE(target, fuzz::targets().end()) << input.target;
    std::ifstream in(input.file, std::ios::binary);
    ASSERT_TRUE(in) << input.file;
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    target->second(bytes);
}

INSTANTIATE_TEST_SUITE_P(FoundInputs, FuzzReplay, ::testing::ValuesIn(replayInputs()),
                         inputName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FuzzReplay);

} // namespace
} // namespace tincrates
