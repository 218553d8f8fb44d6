// A scratch data folder and a published headless device, for tests that load assets by name
// and draw them.
#pragma once

#include "platform/gpu/shared_device.h"
#include "testbed/headless_device.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tincrates::testing {

// Members are built in order (folder, device, published) and torn down in reverse, so managers
// declared in a test body go before the device they release objects on.
class AssetTest : public ::testing::Test {
protected:
    AssetTest()
        : device(16, 16)
    {
        publishSharedDevice(device.get());
    }
    ~AssetTest() override { publishSharedDevice(nullptr); }

    // Writes data/<name> with `content`.
    void writeData(const std::string& name, const std::string& content)
    {
        scratch.write("data/" + name, content);
    }

    // Writes data/<name> as a PNG of `pixels` (0xAARRGGBB, top row first).
    void writeDataPng(const std::string& name, UINT width, UINT height,
        const std::vector<uint32_t>& pixels)
    {
        scratch.write("data/" + name, "");
        ASSERT_TRUE(writePng((scratch.path / "data" / name).string(), width, height, pixels));
    }

    // Writes data/<name> as a 2 x 2 PNG of one colour.
    void writeSolidPng(const std::string& name, uint32_t colour)
    {
        writeDataPng(name, 2, 2, std::vector<uint32_t>(4, colour));
    }

    ScratchDir scratch;
    HeadlessDevice device;
};

} // namespace tincrates::testing
