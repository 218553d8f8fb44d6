// The block cipher that protects password-protected members of RAR 2.x archives: 32 rounds
// over 16-byte blocks, with key words that change after every block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tincrates {

class Rar20Cipher {
public:
    // Derives the key words and substitution table from `password` (a zero-terminated text;
    // bytes past the first 255 are ignored). Called afresh for every member.
    void setupKeys(const char* password);

    // Encrypts or decrypts 16 bytes in place and moves the key state on by that block's
    // ciphertext, so blocks must pass through in order from a member's first byte.
    void encryptBlock(uint8_t* block);
    void decryptBlock(uint8_t* block);

    // Decrypts `blockCount` consecutive 16-byte blocks in place, as that many decryptBlock
    // calls would, but faster: the key of each block follows from the ciphertext before it,
    // which is all there at the start, so several blocks go through their rounds at once.
    void decryptBlocks(uint8_t* blocks, size_t blockCount);

    // Mixes 16 bytes of ciphertext into the key words.
    void updateKeys(const uint8_t* block);

    const std::array<uint32_t, 4>& key() const { return key_; }

private:
    uint32_t substitute(uint32_t word) const;
    void buildSubstWords();
    void round(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, uint32_t k) const;

    std::array<uint32_t, 4> key_{};
    std::array<uint8_t, 256> substTable{};
    // substTable's bytes moved to each byte position of a word, so that a substitution is
    // four look-ups and three ORs.
    std::array<std::array<uint32_t, 256>, 4> substWords{};
};

} // namespace tincrates
