// The arrays' bounds, which a host reaches with its own indices and sizes:
// a bad index or count raises, a negative size empties.
#include <gtest/gtest.h>

#include <stdexcept>

#include "fw/ByteArray.h"

namespace {

TEST(ElementArray, RaisesOnABadIndexOrCountAndTakesANegativeSizeAsZero)
{
    CByteArray bytes;
    bytes.Add(1);
    EXPECT_THROW(bytes.GetAt(1), std::out_of_range);
    EXPECT_THROW(bytes.GetAt(-1), std::out_of_range);
    EXPECT_THROW(bytes.SetAt(5, 0), std::out_of_range);
    EXPECT_THROW(bytes.RemoveAt(0, 2), std::out_of_range);
    EXPECT_EQ(bytes.GetSize(), 1);
    bytes.SetSize(-4);
    EXPECT_TRUE(bytes.IsEmpty());
}

} // namespace
