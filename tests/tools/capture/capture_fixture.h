// Runs the capture program in a scratch folder and reads back what it wrote.
#pragma once

#include "testbed/scratch_dir.h"
#include "platform/image/png_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/wait.h>

namespace tincrates::testing {

struct Capture : ::testing::Test {
    // Runs capture with `arguments` in the scratch folder; returns its exit code.
    int run(const std::string& arguments)
    {
        std::string command = std::string(CAPTURE_PROGRAM) + " " + arguments
            + " >output.txt 2>errors.txt";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    static std::string contents(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    static uint32_t littleEndian(const std::string& bytes, size_t at, int size)
    {
        uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | uint8_t(bytes[at + size_t(i)]);
        return value;
    }

    ScratchDir folder;
};

// The pixels of a PNG file, 0xAARRGGBB; empty (and a test failure) when it does not decode.
inline std::vector<uint32_t> pixelsOf(const std::string& path)
{
    std::string png = Capture::contents(path);
    DecodedImage image;
    std::string error;
    EXPECT_TRUE(decodePng(png.data(), png.size(), image, error)) << path << ": " << error;
    return image.pixels;
}

} // namespace tincrates::testing
