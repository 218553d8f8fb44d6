// What the compressor makes of different inputs; the round-trip tests check that every
// result decodes.
#include "datafiles/rar20_compressor.h"

#include "support/writer_test_support.h"

#include <gtest/gtest.h>

namespace tincrates::rar20 {
namespace {

using writer_test::Bytes;

size_t packedSize(const Bytes& data, int level)
{
    Rar20Compressor compressor(level);
    return compressor.compressMember(data, false).size();
}

TEST(Rar20Compressor, CodesSoundInMultimediaModeFarBelowWhatMatchesAchieve)
{
    Bytes pcm = writer_test::pcmBytes(200000, 1);
    // Noisy PCM has few repeats; only the predictor gets it well under two thirds.
    EXPECT_LT(packedSize(pcm, 3), pcm.size() * 6 / 10);
}

TEST(Rar20Compressor, ShrinksRepetitiveDataToAFewBytesPerKilobyte)
{
    Bytes repeated = writer_test::repetitiveBytes(500000);
    EXPECT_LT(packedSize(repeated, 1), repeated.size() / 200);
}

TEST(Rar20Compressor, FindsRepeatsNearlyAWindowApart)
{
    Bytes block = writer_test::randomBytes(100000, 2);
    Bytes data = block;
    Bytes filler = writer_test::repetitiveBytes(900000);
    data.insert(data.end(), filler.begin(), filler.end());
    data.insert(data.end(), block.begin(), block.end());
    EXPECT_LT(packedSize(data, 3), block.size() + block.size() / 20);
}

TEST(Rar20Compressor, SolidMembersMatchIntoEarlierMembers)
{
    Bytes text = writer_test::textBytes(100000, 3);
    Rar20Compressor compressor(3);
    size_t first = compressor.compressMember(text, false).size();
    size_t again = compressor.compressMember(text, true).size();
    EXPECT_LT(again, first / 50);
    EXPECT_TRUE(compressor.hasState());
}

TEST(Rar20Compressor, HigherLevelsPackTextSmaller)
{
    Bytes text = writer_test::textBytes(300000, 4);
    Bytes code = writer_test::binaryBytes(300000, 5);
    text.insert(text.end(), code.begin(), code.end());
    size_t fastest = packedSize(text, 1);
    size_t normal = packedSize(text, 3);
    size_t best = packedSize(text, 5);
    EXPECT_LT(normal, fastest);
    EXPECT_LE(best, normal);
}

TEST(Rar20Compressor, PacksTheSameInputToTheSameBytes)
{
    Bytes mixed = writer_test::binaryBytes(70000, 6);
    Bytes pcm = writer_test::pcmBytes(70000, 7);
    mixed.insert(mixed.end(), pcm.begin(), pcm.end());
    Rar20Compressor a(2), b(2);
    EXPECT_EQ(a.compressMember(mixed, false), b.compressMember(mixed, false));
}

TEST(Rar20Compressor, EmptyAndTinyMembersStillMakeAWholeStream)
{
    Rar20Compressor compressor(3);
    for (size_t size : {0, 1, 2, 3}) {
        Bytes data(size, 'q');
        EXPECT_GE(compressor.compressMember(data, size > 0).size(), 4u) << size;
    }
}

} // namespace
} // namespace tincrates::rar20
