#include "EngineTestData.h"
#include "NoisyCopy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

// At every rate the noise lies 20 dB under the word's active level and is
// white (its differences carry twice its power); a seed gives one copy; a
// silent take gets none.
TEST(NoisyCopy, WhiteNoiseTwentyDbUnderTheWordAtEveryRate)
{
    const struct {
        int rate;
        double peak;
    } cases[] = {{8000, 3000.0}, {11025, 3000.0}, {11025, 200.0}, {16000, 12000.0}, {44100, 3000.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        const int length = 3 * c.rate;
        const std::vector<short> take = sonvera_test::SyntheticWord(length, c.rate / 2, c.rate, c.peak);
        std::vector<short> copy, again, other;
        ASSERT_EQ(1, CNoisyCopy::Make(take.data(), length, c.rate, 7, copy));
        ASSERT_EQ(take.size(), copy.size());
        double added = 0.0, steps = 0.0;
        for (int i = 0; i + 1 < length; ++i) {
            const double n = copy[i] - take[i], next = copy[i + 1] - take[i + 1];
            added += n * n / length;
            steps += (next - n) * (next - n) / length;
        }
        EXPECT_NEAR(-20.0, 10.0 * std::log10(added / CNoisyCopy::ActivePower(take.data(), length, c.rate)), 0.5);
        EXPECT_NEAR(2.0, steps / added, 0.1);
        CNoisyCopy::Make(take.data(), length, c.rate, 7, again);
        CNoisyCopy::Make(take.data(), length, c.rate, 8, other);
        EXPECT_EQ(copy, again);
        EXPECT_NE(copy, other);
    }
    const std::vector<short> silence(33075, 0);
    std::vector<short> copy;
    EXPECT_EQ(0, CNoisyCopy::Make(silence.data(), 33075, 11025, 7, copy));
    EXPECT_EQ(silence, copy);
}
