// Applying a material: the Direct3D material built from its colours at every apply, and the
// state block recorded once with exactly the material's render, stage and sampler states.
#include "assets/material.h"

#include "assets/material_manager.h"
#include "support/asset_fixture.h"
#include "support/recording_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

class MaterialApply : public AssetTest {
protected:
    MaterialApply()
        : recorder(*device.get())
    {
        publishSharedDevice(&recorder);
    }

    Material* loadBody(const std::string& body)
    {
        writeData("test.mat", "<material>" + body + "</material>");
        return materials.get("test.mat");
    }

    // The calls recorded between BeginStateBlock and EndStateBlock.
    std::vector<std::string> recordedBlock() const
    {
        std::vector<std::string> block;
        bool inside = false;
        for (const std::string& call : recorder.calls) {
            if (call == "EndStateBlock")
                break;
            if (inside)
                block.push_back(call);
            inside = inside || call == "BeginStateBlock";
        }
        return block;
    }

    static std::string renderState(D3DRENDERSTATETYPE state, DWORD value)
    {
        return "SetRenderState " + std::to_string(state) + " " + std::to_string(value);
    }
    static std::string stageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
    {
        return "SetTextureStageState " + std::to_string(stage) + " " + std::to_string(type) + " "
            + std::to_string(value);
    }
    static std::string samplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
    {
        return "SetSamplerState " + std::to_string(sampler) + " " + std::to_string(type) + " "
            + std::to_string(value);
    }

    // The render states every block records after the blend states.
    static std::vector<std::string> commonStates(DWORD cull, DWORD zMode, DWORD zWrite)
    {
        return {renderState(D3DRS_CULLMODE, cull), renderState(D3DRS_SPECULARENABLE, 0),
            renderState(D3DRS_ZENABLE, zMode), renderState(D3DRS_ZWRITEENABLE, zWrite),
            renderState(D3DRS_NORMALIZENORMALS, 0), renderState(D3DRS_COLORVERTEX, 1),
            renderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL),
            renderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF)};
    }

    static void append(std::vector<std::string>& to, const std::vector<std::string>& more)
    {
        to.insert(to.end(), more.begin(), more.end());
    }

    RecordingDevice recorder;
    MaterialManager materials;
};

TEST_F(MaterialApply, APlainMaterialRecordsNoBlendFactorsAndDisablesStageZero)
{
    loadBody("")->apply(true, true);
    std::vector<std::string> expected{renderState(D3DRS_ALPHABLENDENABLE, 0)};
    append(expected, commonStates(D3DCULL_CCW, D3DZB_TRUE, 1));
    append(expected, {stageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE),
                         stageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE), "SetTexture 0 null"});
    EXPECT_EQ(recordedBlock(), expected);
}

TEST_F(MaterialApply, BlendFactorsOtherThanOneAndZeroTurnBlendingOn)
{
    loadBody("<blend srcblend=\"srcalpha\"/><cull mode=\"none\"/>"
             "<zbuffer mode=\"false\" test=\"false\"/>")
        ->apply(true, true);
    std::vector<std::string> expected{renderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA),
        renderState(D3DRS_DESTBLEND, D3DBLEND_ZERO), renderState(D3DRS_ALPHABLENDENABLE, 1)};
    append(expected, commonStates(D3DCULL_NONE, D3DZB_FALSE, 0));
    append(expected, {stageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE),
                         stageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE), "SetTexture 0 null"});
    EXPECT_EQ(recordedBlock(), expected);

    MaterialManager other;
    writeData("opaque.mat", "<m><blend srcblend=\"one\" dstblend=\"zero\"/></m>");
    recorder.calls.clear();
    other.get("opaque.mat")->apply(true, true);
    EXPECT_EQ(recordedBlock().front(), renderState(D3DRS_ALPHABLENDENABLE, 0));
}

TEST_F(MaterialApply, TextureAndEnvmapFillStagesZeroAndOneAndCloseStageTwo)
{
    writeSolidPng("base.png", 0xFFFFFFFF);
    writeSolidPng("env.png", 0xFF000000);
    loadBody("<envmap file=\"env.png\"/><texture file=\"base.png\"/>")->apply(true, true);
    std::vector<std::string> expected{renderState(D3DRS_ALPHABLENDENABLE, 0)};
    append(expected, commonStates(D3DCULL_CCW, D3DZB_TRUE, 1));
    append(expected,
        {stageState(0, D3DTSS_TEXCOORDINDEX, 0), stageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE),
            stageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE),
            stageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT),
            stageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE),
            stageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE),
            stageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE),
            samplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP),
            samplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP), "SetTexture 0 ptr",
            stageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR),
            stageState(1, D3DTSS_COLOROP, D3DTOP_ADD),
            stageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE),
            stageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT),
            stageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1),
            stageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT),
            samplerState(1, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP),
            samplerState(1, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP), "SetTexture 1 ptr",
            stageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE),
            stageState(2, D3DTSS_ALPHAOP, D3DTOP_DISABLE), "SetTexture 2 null"});
    EXPECT_EQ(recordedBlock(), expected);
}

TEST_F(MaterialApply, TheBlockIsRecordedOnceAndSetsTheDeviceStates)
{
    Material* material = loadBody("<cull mode=\"cw\"/><blend srcblend=\"one\" dstblend=\"one\"/>");
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    material->apply(true, true);
    IDirect3DStateBlock9* block = material->stateBlock;
    ASSERT_NE(block, nullptr);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    recorder.calls.clear();
    material->apply(true, true);
    EXPECT_EQ(material->stateBlock, block);
    EXPECT_TRUE(recorder.callsNamed("BeginStateBlock").empty());
    DWORD value = 0;
    device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, DWORD(D3DCULL_CW));
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, 1u);
    device->GetRenderState(D3DRS_DESTBLEND, &value);
    EXPECT_EQ(value, DWORD(D3DBLEND_ONE));
}

TEST_F(MaterialApply, TheDeviceMaterialTakesTheColoursAtEveryApply)
{
    Material* material = loadBody("<emissive r=\"0.1\" g=\"0.2\" b=\"0.3\" a=\"0.4\"/>"
                                  "<ambient r=\"0.5\" g=\"0.6\" b=\"0.7\" a=\"0.8\"/>"
                                  "<diffuse r=\"0.9\" g=\"0.8\" b=\"0.7\" a=\"0.6\"/>"
                                  "<specular r=\"1\" g=\"0.5\" b=\"0.25\" a=\"1\" "
                                  "shinyness=\"0.5\" power=\"12\"/>");
    material->apply(true, true);
    D3DMATERIAL9 applied{};
    device->GetMaterial(&applied);
    EXPECT_FLOAT_EQ(applied.Emissive.r, 0.1f);
    EXPECT_FLOAT_EQ(applied.Emissive.b, 0.3f);
    EXPECT_FLOAT_EQ(applied.Emissive.a, 0);
    EXPECT_FLOAT_EQ(applied.Ambient.g, 0.6f);
    EXPECT_FLOAT_EQ(applied.Ambient.a, 0);
    EXPECT_FLOAT_EQ(applied.Diffuse.r, 0.9f);
    EXPECT_FLOAT_EQ(applied.Diffuse.a, 0.6f);
    EXPECT_FLOAT_EQ(applied.Specular.r, 0.5f);
    EXPECT_FLOAT_EQ(applied.Specular.g, 0.25f);
    EXPECT_FLOAT_EQ(applied.Specular.b, 0.125f);
    EXPECT_FLOAT_EQ(applied.Specular.a, 0);
    EXPECT_FLOAT_EQ(applied.Power, 12);

    // A colour changed between frames shows at the next apply; left-out parts are zero.
    material->diffuse.a = 0.25f;
    material->apply(false, true);
    device->GetMaterial(&applied);
    EXPECT_FLOAT_EQ(applied.Diffuse.a, 0.25f);
    EXPECT_FLOAT_EQ(applied.Ambient.r, 0);
    EXPECT_FLOAT_EQ(applied.Emissive.g, 0);
    material->apply(true, false);
    device->GetMaterial(&applied);
    EXPECT_FLOAT_EQ(applied.Diffuse.r, 0);
    EXPECT_FLOAT_EQ(applied.Specular.r, 0);
    EXPECT_FLOAT_EQ(applied.Power, 0);
    EXPECT_FLOAT_EQ(applied.Ambient.r, 0.5f);
}

} // namespace
} // namespace tincrates
