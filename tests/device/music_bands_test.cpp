// The music analysis: band changes from block to block, smoothed, every third block handed on.
#include "device/models/music_bands.h"

#include <gtest/gtest.h>

namespace morva {
namespace {

TEST(MusicBands, EveryThirdBlockCarriesTheSmoothedChangeOfEachBand) {
    CMusicBands bands;
    capture::Samples quiet{};
    capture::Samples loud{};
    loud[0] = 400;   // band 0's first value
    loud[4] = 999;   // the fifth value of a band is not part of it
    loud[120] = 40;  // band 24's first value

    EXPECT_FALSE(bands.Process(quiet));
    EXPECT_FALSE(bands.Process(loud));
    // (0 + 400) / 4; deviation sqrt((0 + 300² + 3 × 100²) / 3).
    EXPECT_EQ(bands.Means()[0], 100);
    EXPECT_EQ(bands.Deviations()[0], 200);
    EXPECT_EQ(bands.Means()[24], 10);
    EXPECT_EQ(bands.Means()[1], 0);

    // The same block again changes nothing: the means fall by a factor of four.
    const std::optional<MusicBandValues> third = bands.Process(loud);
    ASSERT_TRUE(third);
    EXPECT_EQ((*third)[0], 25);
    EXPECT_EQ((*third)[24], 2);
    EXPECT_EQ(bands.Deviations()[0], 30);  // sqrt((200 + 4 × 25²) / 3)

    EXPECT_FALSE(bands.Process(loud));
    EXPECT_FALSE(bands.Process(loud));
    EXPECT_TRUE(bands.Process(loud));

    const auto bytes = CMusicBands::Bytes(MusicBandValues{0x01020304, 500});
    EXPECT_EQ((std::array<std::uint8_t, 8>{bytes[0], bytes[1], bytes[2], bytes[3], bytes[4],
                                           bytes[5], bytes[6], bytes[7]}),
              (std::array<std::uint8_t, 8>{4, 3, 2, 1, 0xF4, 1, 0, 0}));
}

TEST(MusicBands, LargestSwingsDoNotOverflow) {
    CMusicBands bands;
    capture::Samples full{};
    full.fill(capture::kCaptureFullScale);
    for (int i = 0; i < 30; ++i)
        (void)bands.Process(i % 2 ? full : capture::Samples{});
    // Alternating full scale: the mean settles at 4 × 8192 / 3.
    EXPECT_NEAR(bands.Means()[12], 4 * capture::kCaptureFullScale / 3, 2);
    EXPECT_GE(bands.Deviations()[12], 0);
}

}  // namespace
}  // namespace morva
