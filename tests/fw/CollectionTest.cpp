// The arrays as the product uses them: growth, editing, copying and removal.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "fw/ByteArray.h"
#include "fw/DWordArray.h"
#include "fw/WordArray.h"

namespace {

TEST(ElementArray, GrowsWithZerosEditsInPlaceAndRaisesOnABadIndex)
{
    CDWordArray d;
    d.Add(7);
    d.SetSize(3);
    EXPECT_EQ(d.GetCount(), 3);
    EXPECT_EQ(std::vector<DWORD>(d.GetData(), d.GetData() + 3), (std::vector<DWORD>{7, 0, 0}));
    d.SetSize(-4);
    EXPECT_TRUE(d.IsEmpty());

    CWordArray a;
    EXPECT_EQ(a.Add(1), 0);
    EXPECT_EQ(a.Add(4), 1);
    a.SetAt(1, 3);   // 1 3
    a[0] = 9;        // 9 3
    CWordArray c;
    c.Copy(a);
    c.RemoveAt(0, 1);
    EXPECT_EQ(std::vector<WORD>(c.GetData(), c.GetData() + c.GetSize()), (std::vector<WORD>{3}));
    EXPECT_EQ(std::vector<WORD>(a.GetData(), a.GetData() + 2), (std::vector<WORD>{9, 3}));

    CByteArray bytes;
    bytes.Add(1);
    EXPECT_THROW(bytes.GetAt(1), std::out_of_range);
    EXPECT_THROW(bytes.GetAt(-1), std::out_of_range);
    EXPECT_THROW(bytes.SetAt(5, 0), std::out_of_range);
    EXPECT_THROW(bytes.RemoveAt(0, 2), std::out_of_range);
    EXPECT_EQ(bytes.GetSize(), 1);
}

} // namespace
