// The arrays and the string list as the product uses them: growth, removal,
// copying and appending, also of themselves.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "fw/ByteArray.h"
#include "fw/DWordArray.h"
#include "fw/StringArray.h"
#include "fw/StringList.h"
#include "fw/WordArray.h"
#include "tests/support/StringLists.h"

namespace {

using namespace sonvera_test;

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
    a.SetAt(1, 3);               // 1 3
    a[0] = 9;                    // 9 3
    CWordArray b;
    b.Add(5);
    EXPECT_EQ(a.Append(b), 2);   // 9 3 5
    CWordArray c;
    c.Copy(a);
    c.RemoveAt(0, 2);
    EXPECT_EQ(std::vector<WORD>(c.GetData(), c.GetData() + c.GetSize()), (std::vector<WORD>{5}));
    EXPECT_EQ(std::vector<WORD>(a.GetData(), a.GetData() + 3), (std::vector<WORD>{9, 3, 5}));

    CByteArray bytes;
    bytes.Add(1);
    EXPECT_THROW(bytes.GetAt(1), std::out_of_range);
    EXPECT_THROW(bytes.GetAt(-1), std::out_of_range);
    EXPECT_THROW(bytes.SetAt(5, 0), std::out_of_range);
    EXPECT_THROW(bytes.RemoveAt(0, 2), std::out_of_range);
    EXPECT_EQ(bytes.GetSize(), 1);
}

// An array handed itself takes its elements as they were on entry.
TEST(StringArray, HoldsCopiesOfStringsAlsoOfItsOwn)
{
    CStringArray a;
    CString text("one");
    a.Add(text);
    text = "changed";
    CStringArray copy = a;
    copy[0] = "first";
    EXPECT_EQ(Items(a), Strings{"one"});
    a.SetSize(3);
    for (const char* s : {"b", "c"})
        a.Add(s);
    EXPECT_EQ(a.Append(a), 5);
    EXPECT_EQ(Items(a), (Strings{"one", "", "", "b", "c", "one", "", "", "b", "c"}));
}

// The registry's list reads append the loaded list to the one they are given.
TEST(StringList, AppendsAnotherListOrItself)
{
    CStringList list = ListOf({"a"});
    list.AddTail(ListOf({"b", "c"}));
    list.AddTail(list);
    EXPECT_EQ(Items(list), (Strings{"a", "b", "c", "a", "b", "c"}));
}

} // namespace
