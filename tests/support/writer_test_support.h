// Inputs and read-back helpers shared by the archive writer's tests.
#pragma once

#include "datafiles/archive_reader.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

// Kept apart from the reader tests' helpers, which share some of these names.
namespace tincrates::writer_test {

using Bytes = std::vector<uint8_t>;

inline Bytes randomBytes(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& b : bytes)
        b = uint8_t(random());
    return bytes;
}

// English-like text: words from a small vocabulary, so it compresses like prose.
inline Bytes textBytes(size_t size, uint32_t seed)
{
    static const char* const words[] = {
        "the ",   "crates ", "tumble ", "through ", "fog ",  "and ",    "light ",  "of ",
        "a ",     "glow ",   "beat ",   "flash ",  "on ",   "every ",  "frame\n", "music ",
        "moves ", "scene ",  "camera ", "slowly ", "with ", "credits ", "fade ",   "to ",
        "black ", "while ",  "sound ",  "plays ",  "tin ",  "lit ",    "by ",     "lamps.\n"};
    std::mt19937 random(seed);
    Bytes bytes;
    while (bytes.size() < size) {
        const char* word = words[random() % std::size(words)];
        bytes.insert(bytes.end(), word, word + std::char_traits<char>::length(word));
    }
    bytes.resize(size);
    return bytes;
}

// Machine-code-like bytes: short records with small numbers and repeated opcodes.
inline Bytes binaryBytes(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes bytes;
    while (bytes.size() < size) {
        uint32_t kind = random() % 4;
        bytes.push_back(uint8_t(0x48 + kind));
        bytes.push_back(uint8_t(0x89 - kind));
        uint32_t value = random() % 4096;
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(value >> (8 * i)));
        if (random() % 3 == 0)
            bytes.push_back(0);
    }
    bytes.resize(size);
    return bytes;
}

inline Bytes repetitiveBytes(size_t size)
{
    const std::string pattern = "ABCABCABD0123";
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(pattern[(i / 7 + i) % pattern.size()]);
    return bytes;
}

// 16-bit stereo PCM of two tones with a little noise, as an uncompressed sound file holds.
inline Bytes pcmBytes(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes bytes;
    bytes.reserve(size + 4);
    for (size_t frame = 0; bytes.size() < size; ++frame) {
        double t = double(frame);
        int left = int(7000 * std::sin(t * 0.031) + 2500 * std::sin(t * 0.0071))
            + int(random() % 33) - 16;
        int right = int(5000 * std::sin(t * 0.017 + 1.0)) + int(random() % 33) - 16;
        for (int sample : {left, right}) {
            bytes.push_back(uint8_t(sample));
            bytes.push_back(uint8_t(sample >> 8));
        }
    }
    bytes.resize(size);
    return bytes;
}

// The member read back through the archive reader; empty with `found` false on failure.
inline Bytes readMember(const std::string& archive, const std::string& name,
                        const char* password, bool* found = nullptr)
{
    uint8_t* data = nullptr;
    uint32_t size = 0;
    int ok = getArchiveMember(&data, &size, name.c_str(), archive.c_str(), password);
    if (found)
        *found = ok != 0;
    Bytes bytes(data, data + size);
    std::free(data);
    return bytes;
}

inline Bytes readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes)
{
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The stash program built beside the test program.
inline std::filesystem::path stashProgram()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "stash";
}

inline bool hasProgram(const std::string& name)
{
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; returns its exit code (-1 if it did not exit normally).
inline int run(const std::string& command)
{
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace tincrates::writer_test
