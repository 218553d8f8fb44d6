// XML text that ends inside a UTF-8 sequence: the readers hand TinyXML the file followed by
// zero bytes, so the parser, which steps over a whole sequence at once, stays inside the block.
// The ctest XmlText.StaysInsideItsBlockUnderValgrind runs these cases under valgrind, which sees
// every read the parser makes.
#include "assets/xml_text.h"

#include "assets/material_manager.h"
#include "support/error_of.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tincrates {
namespace {

namespace fs = std::filesystem;
using testing::errorOf;

// The text a load throws, or "" when it throws nothing.
std::string failureOf(MaterialManager& materials, const std::string& name)
{
    return errorOf([&] { materials.get(name); });
}

TEST(XmlText, IsTheWholeFileFollowedByZeroBytes)
{
    testing::ScratchDir scratch;
    scratch.write("data/a.xml", std::string("<a>\xC2", 4));
    std::vector<char> text = readXmlText("a.xml");
    EXPECT_EQ(text, (std::vector<char>{'<', 'a', '>', '\xC2', 0, 0, 0, 0}));
    EXPECT_EQ(xmlTextZeroBytes, 4u) << "the longest UTF-8 sequence";
}

TEST(XmlText, AMissingFileIsNotFound)
{
    testing::ScratchDir scratch;
    EXPECT_EQ(errorOf([] { readXmlText("absent.xml"); }), "File not found");
}

TEST(XmlText, TheHostileMaterialFailsWithItsLine)
{
    fs::path hostile =
        fs::path(TINCRATES_FIXTURES_DIR) / "hostile" / "material-tinyxml-overread.mat";
    if (!fs::exists(hostile))
        GTEST_SKIP() << "fixtures not found";
    testing::ScratchDir scratch;
    fs::create_directory("data");
    fs::create_symlink(hostile, "data/hostile.mat"); // read in place
    MaterialManager materials;
    EXPECT_EQ(failureOf(materials, "hostile.mat"),
              "Failed to load hostile.mat\nline 1: Error parsing Element.");
}

TEST(XmlText, MaterialsEndingInsideAnyUtf8SequenceFailCleanly)
{
    testing::ScratchDir scratch;
    MaterialManager materials;
    // Every place the parser reads text of its own: attribute values in either quote, element
    // text, names, comments, CDATA, declarations and entities.
    const char* openings[] = {
        "<m b=\"", "<m b='", "<m>", "<m><", "<m", "<m>text", "<!--", "<m><![CDATA[",
        "<?xml version=\"1.0\"?><m b=\"", "<?xml version=\"", "<m b=\"&#x", "<m>&",
        "<m b=\"1\" ", "<m></",
    };
    int count = 0;
    for (const char* opening : openings) {
        for (char lead : {'\xC2', '\xE0', '\xF0', '\xF4', '\xBF'}) {
            for (int run = 1; run <= 4; ++run) {
                std::string name = "t" + std::to_string(count++) + ".mat";
                scratch.write("data/" + name, opening + std::string(size_t(run), lead));
                // A syntax error, or for an unclosed comment no root element.
                std::string failure = failureOf(materials, name);
                EXPECT_EQ(failure.rfind("Failed to load " + name + "\n", 0), 0u)
                    << opening << " then " << run << " bytes of " << int(uint8_t(lead)) << ": "
                    << failure;
            }
        }
    }
}

} // namespace
} // namespace tincrates
