// Every error in a command line is one line on standard error, "WHO: MESSAGE (see WHO --help)",
// and exit code 1, whether the parser or the program's own reader of a value found it.
#include "cli/command_line.h"

#include "parse_words.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using testing::parseWords;

// A program "crates" with a value option, a flag and the command "pack ARCHIVE [-n LEVEL]".
struct UsageErrors : ::testing::Test {
    UsageErrors()
    {
        CLI::App& app = line.app();
        size = app.add_option("--size", sizeText);
        maker = app.add_flag("--maker");
        app.add_option_function<std::string>("--rate", [](const std::string& value) {
            if (value != "30")
                throw UsageError("--rate takes 30, not \"" + value + "\"");
        });
        app.add_flag("--sync")->needs(maker);
        CLI::App& pack = line.addCommand("pack", "Usage: crates pack ARCHIVE\n");
        archive = pack.add_option("ARCHIVE", archiveName)->required();
        pack.add_option("-n", level)->check(CLI::Range(1, 5));
    }

    void expectError(const std::vector<std::string>& words, const std::string& error)
    {
        testing::ParseOutcome outcome = parseWords(line, words);
        EXPECT_EQ(outcome.exitCode, std::optional<int>(1));
        EXPECT_EQ(outcome.err, error);
        EXPECT_EQ(outcome.out, "");
    }

    CommandLine line{"crates", "Usage: crates [--size N]\n"};
    std::string sizeText;
    std::string archiveName;
    int level = 3;
    CLI::Option* size = nullptr;
    CLI::Option* maker = nullptr;
    CLI::Option* archive = nullptr;
};

TEST_F(UsageErrors, AnUnknownOptionIsNamed)
{
    expectError({"--nope"}, "crates: unknown option --nope (see crates --help)\n");
}

TEST_F(UsageErrors, AnUnknownCommandIsNamed)
{
    expectError({"frobnicate"}, "crates: unknown command frobnicate (see crates --help)\n");
}

TEST_F(UsageErrors, AnErrorAfterTheCommandIsTheCommands)
{
    expectError({"pack", "a.rar", "-x"},
                "crates pack: unknown option -x (see crates pack --help)\n");
    expectError({"pack", "a.rar", "b.rar"},
                "crates pack: unexpected argument b.rar (see crates pack --help)\n");
}

TEST_F(UsageErrors, AnOptionWithoutItsValueNeedsOne)
{
    expectError({"--size"}, "crates: --size needs a value (see crates --help)\n");
    line.setMissingMessage(size, "--size needs a value such as 640x480");
    expectError({"--size"}, "crates: --size needs a value such as 640x480 (see crates --help)\n");
}

TEST_F(UsageErrors, AnOperandLeftOutIsSaidInTheProgramsWords)
{
    expectError({"pack"}, "crates pack: ARCHIVE is required (see crates pack --help)\n");
    line.setMissingMessage(archive, "expected one archive");
    expectError({"pack"}, "crates pack: expected one archive (see crates pack --help)\n");
}

TEST_F(UsageErrors, AValueTheProgramRefusesIsItsOwnMessage)
{
    expectError({"--rate", "24"}, "crates: --rate takes 30, not \"24\" (see crates --help)\n");
}

TEST_F(UsageErrors, AValueTheParserRefusesNamesTheOption)
{
    expectError({"pack", "a.rar", "-n", "9"},
                "crates pack: -n: Value 9 not in range 1 to 5 (see crates pack --help)\n");
}

TEST_F(UsageErrors, AnOptionWithoutOneItNeedsSaysWhich)
{
    expectError({"--sync"}, "crates: --sync needs --maker (see crates --help)\n");
}

TEST_F(UsageErrors, AnUnknownOptionIsToldBeforeWhatItsMisspellingLeftOut)
{
    expectError({"pack", "--archive"},
                "crates pack: unknown option --archive (see crates pack --help)\n");
    expectError({"--ratee", "--rate", "24"},
                "crates: unknown option --ratee (see crates --help)\n");
}

TEST_F(UsageErrors, TheProgramsOwnChecksAfterParsingTakeTheSameShape)
{
    ASSERT_EQ(parseWords(line, {"pack", "a.rar"}).exitCode, std::nullopt);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(line.fail("a.rar is not new"), usageErrorExitCode);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "crates pack: a.rar is not new (see crates pack --help)\n");
}

TEST_F(UsageErrors, AGoodCommandLineGoesOnWithItsValues)
{
    testing::ParseOutcome outcome = parseWords(line, {"pack", "a.rar", "-n5"});
    EXPECT_EQ(outcome.exitCode, std::nullopt);
    EXPECT_EQ(outcome.out + outcome.err, "");
    EXPECT_EQ(archiveName, "a.rar");
    EXPECT_EQ(level, 5);
    ASSERT_NE(line.command(), nullptr);
    EXPECT_EQ(line.command()->get_name(), "pack");
}

TEST_F(UsageErrors, TheLastOfAValueGivenTwiceWins)
{
    EXPECT_EQ(parseWords(line, {"--size", "1", "--size", "2"}).exitCode, std::nullopt);
    EXPECT_EQ(sizeText, "2");
}

} // namespace
} // namespace tincrates
