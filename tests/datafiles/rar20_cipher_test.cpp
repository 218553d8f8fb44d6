#include "datafiles/rar20_cipher.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace tincrates {
namespace {

using Block = std::array<uint8_t, 16>;

Block sampleBlock()
{
    Block b;
    for (int i = 0; i < 16; ++i)
        b[i] = uint8_t(i * 17 + 3);
    return b;
}

TEST(Rar20Cipher, DecryptUndoesEncryptAndBothLeaveTheSameKeys)
{
    Rar20Cipher writer, reader;
    writer.setupKeys("Kd7M");
    reader.setupKeys("Kd7M");
    ASSERT_EQ(writer.key(), reader.key());
    for (int round = 0; round < 3; ++round) {
        Block plain = sampleBlock();
        plain[0] = uint8_t(round);
        Block block = plain;
        writer.encryptBlock(block.data());
        EXPECT_NE(block, plain);
        reader.decryptBlock(block.data());
        EXPECT_EQ(block, plain);
        EXPECT_EQ(writer.key(), reader.key()) << "round " << round;
    }
}

TEST(Rar20Cipher, DecryptingManyBlocksAtOnceEqualsOneAfterAnother)
{
    // Counts on both sides of the blocks decrypted side by side, and their remainders.
    for (size_t count : {0u, 1u, 3u, 4u, 5u, 8u, 11u, 510u}) {
        std::vector<uint8_t> plain(16 * count);
        for (size_t i = 0; i < plain.size(); ++i)
            plain[i] = uint8_t(i * 7 + count);
        std::vector<uint8_t> packed = plain;
        Rar20Cipher writer;
        writer.setupKeys("Kd7M");
        for (size_t i = 0; i < count; ++i)
            writer.encryptBlock(packed.data() + 16 * i);

        Rar20Cipher oneByOne, atOnce;
        oneByOne.setupKeys("Kd7M");
        atOnce.setupKeys("Kd7M");
        std::vector<uint8_t> single = packed;
        for (size_t i = 0; i < count; ++i)
            oneByOne.decryptBlock(single.data() + 16 * i);
        atOnce.decryptBlocks(packed.data(), count);
        EXPECT_EQ(single, plain) << count << " blocks";
        EXPECT_EQ(packed, plain) << count << " blocks";
        EXPECT_EQ(atOnce.key(), oneByOne.key()) << count << " blocks";
        EXPECT_EQ(atOnce.key(), writer.key()) << count << " blocks";
    }
}

TEST(Rar20Cipher, DecryptsWhatARealArchiverEncrypted)
{
    // The first block of the stored member in the fixture v20_psw_stored.rar, written by
    // RAR 2.06 with the password "password".
    Block block{0x2d, 0x42, 0x2a, 0xe3, 0xe5, 0x20, 0x6e, 0x81,
                0x32, 0x39, 0xc6, 0x37, 0xf0, 0xae, 0xff, 0x18};
    Rar20Cipher cipher;
    cipher.setupKeys("password");
    cipher.decryptBlock(block.data());
    EXPECT_EQ(std::string(block.begin(), block.end()), "RAR 1.5 and 2.0 ");
}

TEST(Rar20Cipher, KeysDependOnThePasswordAndRepeatForTheSamePassword)
{
    Rar20Cipher a, b, c;
    a.setupKeys("Kd7M");
    b.setupKeys("Kd7M");
    c.setupKeys("Kd7m");
    EXPECT_EQ(a.key(), b.key());
    EXPECT_NE(a.key(), c.key());
    Block x = sampleBlock(), y = sampleBlock();
    a.encryptBlock(x.data());
    b.encryptBlock(y.data());
    EXPECT_EQ(x, y);
}

TEST(Rar20Cipher, LongAndOddPasswordsAreSafe)
{
    Rar20Cipher cipher;
    std::string veryLong(1000, 'p');
    cipher.setupKeys(veryLong.c_str());
    Rar20Cipher capped;
    capped.setupKeys(std::string(255, 'p').c_str());
    EXPECT_EQ(cipher.key(), capped.key());
    cipher.setupKeys("abc");
    cipher.setupKeys("");
    cipher.setupKeys(nullptr);
}

} // namespace
} // namespace tincrates
