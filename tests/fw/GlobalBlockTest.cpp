// CGlobalBlock: a locked block that keeps its size, freed by its owner; a
// second allocation over a held block is caught.
#include <gtest/gtest.h>

#include <stdexcept>

#include "fw/GlobalBlock.h"

namespace {

TEST(GlobalBlock, HoldsALockedBlockOfItsSizeUntilFreed)
{
    CGlobalBlock block;
    EXPECT_FALSE(block.IsHeld());
    EXPECT_FALSE(block.Allocate(0));
    EXPECT_FALSE(block.IsHeld());
    ASSERT_TRUE(block.Allocate(66150));
    EXPECT_TRUE(block.IsHeld());
    EXPECT_EQ(block.Size(), 66150u);
    ASSERT_NE(block.Data(), nullptr);
    static_cast<char*>(block.Data())[66149] = 'x';   // the whole size is usable
    block.Free();
    EXPECT_FALSE(block.IsHeld());
    EXPECT_EQ(block.Size(), 0u);
    EXPECT_EQ(block.Data(), nullptr);
    block.Free();   // a second release is harmless
}

TEST(GlobalBlock, AllocatingOverAHeldBlockIsAMisuse)
{
    CGlobalBlock block;
    ASSERT_TRUE(block.Allocate(16));
    void* held = block.Data();
    EXPECT_THROW(block.Allocate(32), std::logic_error);
    EXPECT_EQ(block.Data(), held);
    EXPECT_EQ(block.Size(), 16u);
    block.Free();
    EXPECT_TRUE(block.Allocate(32));
}

} // namespace
