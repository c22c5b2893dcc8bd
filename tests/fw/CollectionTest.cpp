// The arrays and the string list as containers: growth, insertion, removal,
// copying and the list's positions.
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

TEST(ElementArray, GrowsWithZerosShrinksAndEditsInPlace)
{
    CDWordArray d;
    EXPECT_EQ(d.GetData(), nullptr);
    d.Add(7);
    d.SetSize(3);
    EXPECT_EQ(d.GetCount(), 3);
    EXPECT_EQ(std::vector<DWORD>(d.GetData(), d.GetData() + 3), (std::vector<DWORD>{7, 0, 0}));
    d.SetSize(1);
    EXPECT_EQ(d.GetUpperBound(), 0);
    d.SetSize(-4);
    EXPECT_TRUE(d.IsEmpty());

    CWordArray a;
    EXPECT_EQ(a.Add(1), 0);
    EXPECT_EQ(a.Add(4), 1);
    a.InsertAt(1, 2, 2);         // 1 2 2 4
    a.SetAt(2, 3);               // 1 2 3 4
    a.RemoveAt(0);               // 2 3 4
    a.ElementAt(0) = 9;          // 9 3 4
    CWordArray b;
    b.Add(5);
    EXPECT_EQ(a.Append(b), 3);   // 9 3 4 5
    a.InsertAt(0, b);            // 5 9 3 4 5
    ASSERT_EQ(a.GetSize(), 5);
    EXPECT_EQ(std::vector<WORD>(a.GetData(), a.GetData() + 5), (std::vector<WORD>{5, 9, 3, 4, 5}));
    CWordArray c;
    c.Copy(a);
    c.RemoveAt(1, 3);
    EXPECT_EQ(std::vector<WORD>(c.GetData(), c.GetData() + c.GetSize()), (std::vector<WORD>{5, 5}));
    EXPECT_EQ(a.GetSize(), 5);   // the copy is independent
}

TEST(ElementArray, BadIndexRaisesInsteadOfTouchingMemory)
{
    CByteArray a;
    a.Add(1);
    EXPECT_THROW(a.GetAt(1), std::out_of_range);
    EXPECT_THROW(a.GetAt(-1), std::out_of_range);
    EXPECT_THROW(a.SetAt(5, 0), std::out_of_range);
    EXPECT_THROW(a.RemoveAt(0, 2), std::out_of_range);
    EXPECT_EQ(a.GetSize(), 1);
    a.SetAtGrow(3, 9);
    EXPECT_EQ(a.GetSize(), 4);
    EXPECT_EQ(a[2], 0);
    EXPECT_EQ(a[3], 9);
}

TEST(StringArray, HoldsCopiesOfStrings)
{
    CStringArray a;
    CString text("one");
    a.Add(text);
    a.Add("two");
    text = "changed";
    a.InsertAt(1, CString("between"));
    EXPECT_EQ(Items(a), (Strings{"one", "between", "two"}));
    CStringArray copy = a;
    copy[0] = "first";
    EXPECT_EQ(Items(a)[0], "one");
    a.SetSize(5);
    EXPECT_TRUE(a[4].IsEmpty());
}

// A collection handed itself, or one of its own strings, takes them as they
// were on entry, also when it must grow to take them.
TEST(StringArray, AppendingInsertingOrGrowingWithItsOwnStringsKeepsThem)
{
    CStringArray a;
    for (const char* s : {"a", "b", "c"})
        a.Add(s);
    EXPECT_EQ(a.Append(a), 3);
    EXPECT_EQ(Items(a), (Strings{"a", "b", "c", "a", "b", "c"}));
    a.RemoveAt(3, 3);
    a.InsertAt(1, a);
    EXPECT_EQ(Items(a), (Strings{"a", "a", "b", "c", "b", "c"}));
    const std::string longText = "first string, too long to live inside the string object itself";
    a.SetAt(0, longText.c_str());
    a.SetAtGrow(40, a[0]);
    EXPECT_EQ(a.GetSize(), 41);
    EXPECT_EQ(std::string(a[40]), longText);
    a.InsertAt(100, a[0], 2);
    EXPECT_EQ(a.GetSize(), 102);
    EXPECT_EQ(std::string(a[101]), longText);
}

TEST(StringList, AddsAtBothEndsAndWalksInOrderAndCopiesDeeply)
{
    CStringList list;
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    list.AddTail("b");
    list.AddTail("c");
    list.AddHead("a");
    EXPECT_EQ(Items(list), (Strings{"a", "b", "c"}));
    EXPECT_EQ(std::string(list.GetTail()), "c");
    Strings backwards;
    for (POSITION pos = list.GetTailPosition(); pos != nullptr;)
        backwards.emplace_back(list.GetPrev(pos).GetString());
    EXPECT_EQ(backwards, (Strings{"c", "b", "a"}));
    CStringList copy(list);
    copy.GetHead() = "changed";
    copy.AddTail("d");
    EXPECT_EQ(Items(list), (Strings{"a", "b", "c"}));
    list = copy;
    EXPECT_EQ(Items(list), (Strings{"changed", "b", "c", "d"}));
    copy.GetHead() = "again";
    EXPECT_EQ(Items(list)[0], "changed");
}

TEST(StringList, AddingItselfAtEitherEndDoublesTheList)
{
    CStringList list = ListOf({"a", "b"});
    list.AddTail(list);
    EXPECT_EQ(Items(list), (Strings{"a", "b", "a", "b"}));
    list.AddHead(list);
    EXPECT_EQ(Items(list), (Strings{"a", "b", "a", "b", "a", "b", "a", "b"}));
}

TEST(StringList, FindAndRemoveAtPositions)
{
    CStringList list = ListOf({"x", "y", "x"});
    const POSITION first = list.Find("x");
    ASSERT_NE(first, nullptr);
    const POSITION second = list.Find("x", first);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(list.Find("X"), nullptr);   // exact comparison
    EXPECT_EQ(list.Find("x", second), nullptr);
    list.SetAt(second, "z");
    list.RemoveAt(first);
    EXPECT_EQ(Items(list), (Strings{"y", "z"}));
    list.InsertBefore(list.GetHeadPosition(), "w");
    list.InsertAfter(list.FindIndex(1), "yy");
    EXPECT_EQ(Items(list), (Strings{"w", "y", "yy", "z"}));
    EXPECT_EQ(list.FindIndex(4), nullptr);
    EXPECT_EQ(std::string(list.RemoveHead()), "w");
    EXPECT_EQ(std::string(list.RemoveTail()), "z");
    EXPECT_EQ(Items(list), (Strings{"y", "yy"}));
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetTailPosition(), nullptr);
    EXPECT_THROW(list.GetHead(), std::out_of_range);
}

} // namespace
