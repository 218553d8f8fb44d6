// Which production a program plays: the current folder's when it holds one (the archive or
// data/), else the one installed beside the program, else the current folder's missing files.
#include "host/production_folder.h"

#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

// A tree laid out as `cmake --install` lays it: PREFIX/bin/tincrates and the production in
// the folder the build names relative to bin/.
struct InstalledTree {
    explicit InstalledTree(const ScratchDir& scratch)
        : program(scratch.path / "prefix" / "bin" / "tincrates")
        , production(installedProductionFolder(program))
    {
        scratch.write(fs::relative(program, scratch.path), "");
    }
    fs::path program;
    fs::path production;
};

TEST(ProductionFolder, TheInstalledOneLiesBesideTheProgramsFolderUnderTheSamePrefix)
{
    EXPECT_EQ(installedProductionFolder("/usr/bin/tincrates"), "/usr/share/tincrates");
    EXPECT_EQ(installedProductionFolder("/opt/demo/bin/capture"), "/opt/demo/share/tincrates");
    EXPECT_EQ(installedProductionFolder(""), "");
}

TEST(ProductionFolder, TheCurrentFolderWinsWhenItHoldsTheArchiveOrTheDataFolder)
{
    ScratchDir scratch;
    InstalledTree installed(scratch);
    scratch.write(fs::relative(installed.production, scratch.path) / "stashpack", "archive");
    for (const char* held : {"stashpack", "data/soundtrk.mp3"}) {
        fs::path current = scratch.path / "here" / held;
        scratch.write(fs::relative(current, scratch.path), "");
        EXPECT_EQ(chooseProductionFolder(scratch.path / "here", installed.program),
                  scratch.path / "here") << held;
        fs::remove_all(scratch.path / "here");
    }
    // An empty data/ is a production too, a broken one: its errors are the ones to see.
    fs::create_directories(scratch.path / "here" / "data");
    EXPECT_EQ(chooseProductionFolder(scratch.path / "here", installed.program),
              scratch.path / "here");
}

TEST(ProductionFolder, AFolderWithoutOnePlaysTheInstalledOne)
{
    ScratchDir scratch;
    InstalledTree installed(scratch);
    fs::create_directories(scratch.path / "empty");
    // A file named data is no data folder.
    scratch.write("empty/data", "");
    EXPECT_EQ(chooseProductionFolder(scratch.path / "empty", installed.program),
              scratch.path / "empty") << "nothing installed yet";

    scratch.write(fs::relative(installed.production, scratch.path) / "stashpack", "archive");
    EXPECT_EQ(chooseProductionFolder(scratch.path / "empty", installed.program),
              installed.production);
    EXPECT_EQ(chooseProductionFolder(scratch.path / "empty", ""), scratch.path / "empty")
        << "a program that cannot tell where it lies stays in the current folder";
}

TEST(ProductionFolder, EnteringAFolderThatIsNotThereSaysWhy)
{
    ScratchDir scratch;
    EXPECT_EQ(enterFolder(scratch.path / "gone"),
              "cannot use " + (scratch.path / "gone").string() + ": No such file or directory");
    fs::create_directories(scratch.path / "there");
    EXPECT_EQ(enterFolder(scratch.path / "there"), "");
    EXPECT_EQ(fs::current_path(), scratch.path / "there");
}

} // namespace
} // namespace tincrates
