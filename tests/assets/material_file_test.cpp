// Reading material files: initial values, each element and attribute, number and keyword
// rules, last occurrence winning, and the failure texts.
#include "assets/material_manager.h"

#include "support/asset_fixture.h"
#include "support/error_of.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

class MaterialFile : public AssetTest {
protected:
    // Loads a material whose root holds `body`.
    Material* loadBody(const std::string& body)
    {
        writeData("test.mat", "<material>" + body + "</material>");
        return materials.get("test.mat");
    }

    // The failure text of a material whose root holds `body`.
    std::string failureOf(const std::string& body)
    {
        writeData("bad.mat", "<material>" + body + "</material>");
        return errorOf([&] { materials.get("bad.mat"); });
    }

    MaterialManager materials;
};

void expectColour(const Colour& colour, float r, float g, float b, float a)
{
    EXPECT_FLOAT_EQ(colour.r, r);
    EXPECT_FLOAT_EQ(colour.g, g);
    EXPECT_FLOAT_EQ(colour.b, b);
    EXPECT_FLOAT_EQ(colour.a, a);
}

TEST_F(MaterialFile, AnEmptyRootGivesTheInitialValues)
{
    Material* material = loadBody("");
    ASSERT_NE(material, nullptr);
    expectColour(material->emissive, 0, 0, 0, 0);
    expectColour(material->ambient, 0.1f, 0.1f, 0.1f, 1);
    expectColour(material->diffuse, 1, 1, 1, 1);
    expectColour(material->specular, 0, 0, 0, 0);
    EXPECT_FLOAT_EQ(material->power, 1);
    EXPECT_FLOAT_EQ(material->shininess, 0);
    EXPECT_EQ(material->texture, nullptr);
    EXPECT_EQ(material->envmap, nullptr);
    EXPECT_EQ(material->zMode, D3DZB_TRUE);
    EXPECT_TRUE(material->zWrite);
    EXPECT_EQ(material->cullMode, D3DCULL_CCW);
    EXPECT_EQ(material->srcBlend, D3DBLEND_ONE);
    EXPECT_EQ(material->dstBlend, D3DBLEND_ZERO);
    EXPECT_EQ(material->stateBlock, nullptr);
}

TEST_F(MaterialFile, AColourElementSetsAllFourChannelsWithOneForTheAbsent)
{
    Material* material = loadBody("<emissive r=\"0.25\" g=\"0.5\" b=\"0.75\" a=\"0\"/>"
                                  "<ambient g=\"0.2\"/>"
                                  "<diffuse r=\"0.5\"/>"
                                  "<specular b=\"0.3\" shinyness=\"0.5\" power=\"20\"/>");
    expectColour(material->emissive, 0.25f, 0.5f, 0.75f, 0);
    expectColour(material->ambient, 1, 0.2f, 1, 1);
    expectColour(material->diffuse, 0.5f, 1, 1, 1);
    expectColour(material->specular, 1, 1, 0.3f, 1);
    EXPECT_FLOAT_EQ(material->shininess, 0.5f);
    EXPECT_FLOAT_EQ(material->power, 20);
}

TEST_F(MaterialFile, ABareSpecularResetsShininessAndPower)
{
    Material* material = loadBody("<specular shinyness=\"2\" power=\"8\"/><specular/>");
    expectColour(material->specular, 1, 1, 1, 1);
    EXPECT_FLOAT_EQ(material->shininess, 0);
    EXPECT_FLOAT_EQ(material->power, 1);
}

TEST_F(MaterialFile, NumbersFollowAtof)
{
    Material* material = loadBody(
        "<diffuse r=\"  0.5xyz\" g=\"abc\" b=\"-2.5e-1\" a=\"\"/><specular power=\"1e2\"/>");
    expectColour(material->diffuse, 0.5f, 0, -0.25f, 0);
    EXPECT_FLOAT_EQ(material->power, 100);
}

TEST_F(MaterialFile, TheLastOccurrenceWinsAndOtherNamesAreIgnored)
{
    Material* material = loadBody("<diffuse r=\"0.1\"/><!-- a comment -->text"
                                  "<Diffuse r=\"0\"/><unknown mode=\"x\"/>"
                                  "<diffuse g=\"0.3\" extra=\"1\"/>");
    expectColour(material->diffuse, 1, 0.3f, 1, 1);
}

TEST_F(MaterialFile, ZbufferModesAndDepthWrites)
{
    EXPECT_EQ(loadBody("<zbuffer mode=\"false\"/>")->zMode, D3DZB_FALSE);
    MaterialManager other;
    writeData("usew.mat", "<m><zbuffer mode=\"usew\" test=\"false\"/></m>");
    Material* usew = other.get("usew.mat");
    EXPECT_EQ(usew->zMode, D3DZB_USEW);
    EXPECT_FALSE(usew->zWrite);

    // Any later zbuffer element without test="false" switches depth writes back on.
    writeData("again.mat", "<m><zbuffer test=\"false\"/><zbuffer mode=\"usew\"/></m>");
    Material* again = other.get("again.mat");
    EXPECT_TRUE(again->zWrite);
    EXPECT_EQ(again->zMode, D3DZB_USEW);

    writeData("keep.mat", "<m><zbuffer mode=\"false\"/><zbuffer test=\"no\"/></m>");
    Material* keep = other.get("keep.mat");
    EXPECT_EQ(keep->zMode, D3DZB_FALSE);
    EXPECT_TRUE(keep->zWrite);
}

TEST_F(MaterialFile, CullAndBlendKeywords)
{
    Material* material = loadBody("<cull mode=\"none\"/><blend srcblend=\"srcalpha\"/>");
    EXPECT_EQ(material->cullMode, D3DCULL_NONE);
    EXPECT_EQ(material->srcBlend, D3DBLEND_SRCALPHA);
    EXPECT_EQ(material->dstBlend, D3DBLEND_ZERO);

    const char* names[] = {"zero", "one", "srccolor", "invsrccolor", "srcalpha", "invsrcalpha",
        "destalpha", "invdestalpha", "destcolor", "invdestcolor", "srcalphasat", "bothsrcalpha",
        "bothinvsrcalpha", "blendfactor", "invblendfactor"};
    for (int i = 0; i < 15; ++i) {
        MaterialManager each;
        std::string name = "blend" + std::to_string(i) + ".mat";
        writeData(name,
            std::string("<m><cull mode=\"cw\"/><blend dstblend=\"") + names[i] + "\"/></m>");
        Material* blended = each.get(name);
        EXPECT_EQ(blended->dstBlend, D3DBLEND(i + 1)) << names[i];
        EXPECT_EQ(blended->cullMode, D3DCULL_CW);
    }
}

TEST_F(MaterialFile, ABadKeywordFailsTheLoadWithItsText)
{
    EXPECT_EQ(failureOf("<cull mode=\"CW\"/>"), "Failed to load bad.mat\ninvalid cull mode");
    EXPECT_EQ(failureOf("<zbuffer mode=\"on\"/>"), "Failed to load bad.mat\ninvalid zbuffer mode");
    EXPECT_EQ(failureOf("<blend srcblend=\"One\"/>"), "Failed to load bad.mat\ninvalid srcblend");
    EXPECT_EQ(failureOf("<blend dstblend=\"\"/>"), "Failed to load bad.mat\ninvalid dstblend");
    EXPECT_EQ(MaterialManager::totalCount(nullptr), 0);
}

TEST_F(MaterialFile, XmlErrorsGiveTheLineAndDescription)
{
    writeData("broken.mat", "<material>\n<diffuse r=\"1\">\n</material>");
    EXPECT_EQ(errorOf([&] { materials.get("broken.mat"); }),
        "Failed to load broken.mat\nline 3: Error reading end tag.");
    writeData("quote.mat", "<material>\n\n<diffuse r=\"1/>");
    EXPECT_EQ(errorOf([&] { materials.get("quote.mat"); }),
        "Failed to load quote.mat\nline 3: Error parsing Element.");
    writeData("empty.mat", "");
    EXPECT_EQ(errorOf([&] { materials.get("empty.mat"); }),
        "Failed to load empty.mat\nline 0: Error document empty.");
    writeData("binary.mat", std::string("\0\xff\xfe<", 4));
    EXPECT_NE(errorOf([&] { materials.get("binary.mat"); }), "");
}

TEST_F(MaterialFile, ADocumentWithoutAnElementIsRefused)
{
    writeData("comment.mat", "<!-- nothing here -->");
    EXPECT_EQ(errorOf([&] { materials.get("comment.mat"); }),
        "Failed to load comment.mat\nNo root element");
}

TEST_F(MaterialFile, AMissingFileIsReported)
{
    EXPECT_EQ(errorOf([&] { materials.get("absent.mat"); }),
        "Failed to load absent.mat\nFile not found");
}

TEST_F(MaterialFile, TextureAndEnvmapShareOneTextureHeldTwice)
{
    writeSolidPng("chrome.png", 0xFF808080);
    Material* material
        = loadBody("<texture file=\"chrome.png\"/><envmap file=\"chrome.png\"/><texture/>");
    ASSERT_NE(material->texture, nullptr);
    EXPECT_EQ(material->texture, material->envmap);
    EXPECT_EQ(materials.textures.heldCount(material->texture), 2);
}

TEST_F(MaterialFile, ATextureFailureCarriesTheImageLines)
{
    EXPECT_EQ(failureOf("<texture file=\"gone.png\"/>"),
        "Failed to load bad.mat\nFailed to load gone.png\nfile not found: gone.png");
    writeData("words.png", "not a picture");
    EXPECT_EQ(failureOf("<envmap file=\"words.png\"/>"),
        "Failed to load bad.mat\nFailed to load words.png\nfailed to load words.png: not a PNG "
        "or JPEG image");
}

} // namespace
} // namespace tincrates
