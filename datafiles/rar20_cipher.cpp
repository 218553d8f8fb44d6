// The block cipher of RAR 2.x archives.
#include "datafiles/rar20_cipher.h"

#include "datafiles/crc32.h"

#include <bit>
#include <cstring>

namespace tincrates {

namespace {

constexpr std::array<uint32_t, 4> initialKey{0xD3A3B879u, 0x3F6D12F7u, 0x7515A235u, 0xA4E7F123u};

// The format's fixed starting permutation of 0..255.
constexpr std::array<uint8_t, 256> initialSubstTable{
    0xD7, 0x13, 0x95, 0x23, 0x49, 0xC5, 0xC0, 0xCD, 0xF9, 0x1C, 0x10, 0x77, 0x30, 0xDD, 0x02, 0x2A,
    0xE8, 0x01, 0xB1, 0xE9, 0x0E, 0x58, 0xDB, 0x19, 0xDF, 0xC3, 0xF4, 0x5A, 0x57, 0xEF, 0x99, 0x89,
    0xFF, 0xC7, 0x93, 0x46, 0x5C, 0x42, 0xF6, 0x0D, 0xD8, 0x28, 0x3E, 0x1D, 0xD9, 0xE6, 0x56, 0x06,
    0x47, 0x18, 0xAB, 0xC4, 0x65, 0x71, 0xDA, 0x7B, 0x5D, 0x5B, 0xA3, 0xB2, 0xCA, 0x43, 0x2C, 0xEB,
    0x6B, 0xFA, 0x4B, 0xEA, 0x31, 0xA7, 0x7D, 0xD3, 0x53, 0x72, 0x9D, 0x90, 0x20, 0xC1, 0x8F, 0x24,
    0x9E, 0x7C, 0xF7, 0xBB, 0x59, 0xD6, 0x8D, 0x2F, 0x79, 0xE4, 0x3D, 0x82, 0xD5, 0xC2, 0xAE, 0xFB,
    0x61, 0x6E, 0x36, 0xE5, 0x73, 0x39, 0x98, 0x5E, 0x69, 0xF3, 0xD4, 0x37, 0xD1, 0xF5, 0x3F, 0x0B,
    0xA4, 0xC8, 0x1F, 0x9C, 0x51, 0xB0, 0xE3, 0x15, 0x4C, 0x63, 0x8B, 0xBC, 0x7F, 0x11, 0xF8, 0x33,
    0xCF, 0x78, 0xBD, 0xD2, 0x08, 0xE2, 0x29, 0x48, 0xB7, 0xCB, 0x87, 0xA5, 0xA6, 0x3C, 0x62, 0x07,
    0x7A, 0x26, 0x9B, 0xAA, 0x45, 0xAC, 0xFC, 0xEE, 0x27, 0x86, 0x3B, 0x80, 0xEC, 0x1B, 0xF0, 0x50,
    0x83, 0x03, 0x55, 0xCE, 0x91, 0x4F, 0x9A, 0x8E, 0x9F, 0xDC, 0xC9, 0x85, 0x4A, 0x40, 0x14, 0x81,
    0xE0, 0xB9, 0x8A, 0x67, 0xAD, 0xB6, 0x2B, 0x22, 0xFE, 0x52, 0xC6, 0x97, 0xE7, 0xB4, 0x3A, 0x0A,
    0x76, 0x1A, 0x66, 0x0C, 0x32, 0x84, 0x16, 0xBF, 0x88, 0x6F, 0xA2, 0xB3, 0x2D, 0x04, 0x94, 0x6C,
    0xA1, 0x38, 0x4E, 0x7E, 0xF2, 0xDE, 0x0F, 0xAF, 0x92, 0x17, 0x21, 0xF1, 0xB5, 0xBE, 0x4D, 0xE1,
    0x00, 0x2E, 0xA9, 0xBA, 0x44, 0x5F, 0xED, 0x41, 0x35, 0xD0, 0xFD, 0xA8, 0x09, 0x12, 0x64, 0x34,
    0x74, 0xB8, 0xA0, 0x60, 0x6D, 0x25, 0x1E, 0x6A, 0x8C, 0x68, 0x96, 0x05, 0xCC, 0x75, 0x70, 0x54,};

uint32_t loadWord(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void storeWord(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

} // namespace

uint32_t Rar20Cipher::substitute(uint32_t word) const
{
    return substWords[0][word & 0xFF] | substWords[1][(word >> 8) & 0xFF]
        | substWords[2][(word >> 16) & 0xFF] | substWords[3][word >> 24];
}

void Rar20Cipher::buildSubstWords()
{
    for (unsigned shift = 0; shift < 4; ++shift)
        for (unsigned byte = 0; byte < 256; ++byte)
            substWords[shift][byte] = uint32_t(substTable[byte]) << (8 * shift);
}

void Rar20Cipher::round(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, uint32_t k) const
{
    uint32_t ta = a ^ substitute((c + std::rotl(d, 11)) ^ k);
    uint32_t tb = b ^ substitute((d ^ std::rotl(c, 17)) + k);
    a = c;
    b = d;
    c = ta;
    d = tb;
}

void Rar20Cipher::encryptBlock(uint8_t* block)
{
    uint32_t a = loadWord(block) ^ key_[0], b = loadWord(block + 4) ^ key_[1];
    uint32_t c = loadWord(block + 8) ^ key_[2], d = loadWord(block + 12) ^ key_[3];
    // Round i uses key word i & 3; decryption runs the same rounds backwards.
    for (int step = 0; step < 32; ++step)
        round(a, b, c, d, key_[step & 3]);
    storeWord(block, c ^ key_[0]);
    storeWord(block + 4, d ^ key_[1]);
    storeWord(block + 8, a ^ key_[2]);
    storeWord(block + 12, b ^ key_[3]);
    updateKeys(block);
}

void Rar20Cipher::decryptBlock(uint8_t* block) { decryptBlocks(block, 1); }

void Rar20Cipher::decryptBlocks(uint8_t* blocks, size_t blockCount)
{
    // Each round waits on the one before, through four table look-ups; blocks decrypted side
    // by side keep the processor busy during those waits. Four fit the registers.
    constexpr size_t lanes = 4;
    while (blockCount > 0) {
        size_t count = blockCount < lanes ? blockCount : lanes;
        std::array<uint32_t, 4> keys[lanes];
        uint32_t a[lanes], b[lanes], c[lanes], d[lanes];
        for (size_t lane = 0; lane < count; ++lane) {
            const uint8_t* block = blocks + 16 * lane;
            keys[lane] = key_;
            a[lane] = loadWord(block) ^ key_[0];
            b[lane] = loadWord(block + 4) ^ key_[1];
            c[lane] = loadWord(block + 8) ^ key_[2];
            d[lane] = loadWord(block + 12) ^ key_[3];
            updateKeys(block);
        }
        if (count == lanes) {
            // Unrolled, so that the lanes' words live in registers rather than in the arrays.
            for (int step = 0; step < 32; step += 4) {
#pragma GCC unroll 4
                for (int keyIndex = 3; keyIndex >= 0; --keyIndex) {
#pragma GCC unroll 4
                    for (size_t lane = 0; lane < lanes; ++lane)
                        round(a[lane], b[lane], c[lane], d[lane], keys[lane][keyIndex]);
                }
            }
        } else {
            for (size_t lane = 0; lane < count; ++lane)
                for (int step = 0; step < 32; step += 4)
                    for (int keyIndex = 3; keyIndex >= 0; --keyIndex)
                        round(a[lane], b[lane], c[lane], d[lane], keys[lane][keyIndex]);
        }
        for (size_t lane = 0; lane < count; ++lane) {
            uint8_t* block = blocks + 16 * lane;
            const std::array<uint32_t, 4>& k = keys[lane];
            storeWord(block, c[lane] ^ k[0]);
            storeWord(block + 4, d[lane] ^ k[1]);
            storeWord(block + 8, a[lane] ^ k[2]);
            storeWord(block + 12, b[lane] ^ k[3]);
        }
        blocks += 16 * count;
        blockCount -= count;
    }
}

void Rar20Cipher::updateKeys(const uint8_t* block)
{
    const auto& crc = crc32Table();
    for (int j = 0; j < 16; j += 4) {
        key_[0] ^= crc[block[j]];
        key_[1] ^= crc[block[j + 1]];
        key_[2] ^= crc[block[j + 2]];
        key_[3] ^= crc[block[j + 3]];
    }
}

void Rar20Cipher::setupKeys(const char* password)
{
    // The key schedule walks the password in pairs and in 16-byte blocks, reading the zeros
    // past its end, so it works on a zero-filled copy.
    uint8_t buffer[256] = {};
    size_t length = password ? strnlen(password, 255) : 0;
    if (length)
        std::memcpy(buffer, password, length);

    key_ = initialKey;
    substTable = initialSubstTable;
    const auto& crc = crc32Table();
    for (unsigned j = 0; j < 256; ++j) {
        for (size_t i = 0; i < length; i += 2) {
            uint8_t n2 = uint8_t(crc[(buffer[i + 1] + j) & 0xFF]);
            uint8_t n1 = uint8_t(crc[(buffer[i] - j) & 0xFF]);
            for (unsigned k = 1; n1 != n2; ++k) {
                std::swap(substTable[n1], substTable[(n1 + i + k) & 0xFF]);
                n1 = uint8_t(n1 + 1);
            }
        }
    }
    buildSubstWords();
    for (size_t i = 0; i < length; i += 16)
        encryptBlock(buffer + i);
    std::memset(buffer, 0, sizeof buffer);
}

} // namespace tincrates
