// Linked into every test program: with TINCRATES_REQUIRE_FIXTURES set (as CI sets it), a test
// that skips itself for want of the shared fixtures fails instead, so a run without them
// cannot pass with those cases quietly left out. Without the variable such a test still skips.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

bool fixturesAreRequired()
{
    const char* value = std::getenv("TINCRATES_REQUIRE_FIXTURES");
    return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

class RequiredFixtures : public ::testing::EmptyTestEventListener {
public:
    // Runs while the test is still the current one, so the failure is counted against it.
    void OnTestEnd(const ::testing::TestInfo& test) override
    {
        const ::testing::TestResult& result = *test.result();
        if (!result.Skipped() || !fixturesAreRequired())
            return;
        for (int i = 0; i < result.total_part_count(); ++i) {
            const ::testing::TestPartResult& part = result.GetTestPartResult(i);
            if (part.skipped() && std::string(part.message()).find("fixtures") != std::string::npos) {
                std::string reason = part.message();
                ADD_FAILURE() << "skipped for want of the shared fixtures at "
                              << std::filesystem::path(TINCRATES_FIXTURES_DIR)
                              << ", which TINCRATES_REQUIRE_FIXTURES requires (" << reason << ")";
                return;
            }
        }
    }
};

[[maybe_unused]] const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new RequiredFixtures);
    return true;
}();

} // namespace
