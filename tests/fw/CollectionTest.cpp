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

namespace {

std::vector<std::string> Items(const CStringArray& a)
{
    std::vector<std::string> out;
    for (int i = 0; i < a.GetSize(); ++i)
        out.emplace_back(a[i].GetString());
    return out;
}

std::vector<std::string> Items(const CStringList& list)
{
    std::vector<std::string> out;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
        out.emplace_back(list.GetNext(pos).GetString());
    return out;
}

using Strings = std::vector<std::string>;

TEST(ElementArray, SetSizeGrowsWithZerosAndShrinks)
{
    CDWordArray a;
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(a.GetUpperBound(), -1);
    EXPECT_EQ(a.GetData(), nullptr);
    a.Add(7);
    a.SetSize(3);
    EXPECT_EQ(a.GetSize(), 3);
    EXPECT_EQ(a.GetCount(), 3);
    EXPECT_EQ(a[0], 7u);
    EXPECT_EQ(a[1], 0u);
    EXPECT_EQ(a[2], 0u);
    a.SetSize(1);
    EXPECT_EQ(a.GetUpperBound(), 0);
    a.SetSize(-4);
    EXPECT_TRUE(a.IsEmpty());
}

TEST(ElementArray, InsertRemoveAppendCopy)
{
    CWordArray a;
    EXPECT_EQ(a.Add(1), 0);
    EXPECT_EQ(a.Add(4), 1);
    a.InsertAt(1, 2, 2);            // 1 2 2 4
    a.SetAt(2, 3);                  // 1 2 3 4
    a.RemoveAt(0);                  // 2 3 4
    a.ElementAt(0) = 9;             // 9 3 4
    CWordArray b;
    b.Add(5);
    EXPECT_EQ(a.Append(b), 3);      // 9 3 4 5
    a.InsertAt(0, b);               // 5 9 3 4 5
    const std::vector<WORD> expected{5, 9, 3, 4, 5};
    ASSERT_EQ(a.GetSize(), 5);
    EXPECT_EQ(std::vector<WORD>(a.GetData(), a.GetData() + 5), expected);
    CWordArray c;
    c.Copy(a);
    c.RemoveAt(1, 3);
    EXPECT_EQ(c.GetSize(), 2);
    EXPECT_EQ(a.GetSize(), 5);      // the copy is independent
    c.RemoveAll();
    EXPECT_TRUE(c.IsEmpty());
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

// A collection handed itself takes its own elements as they were on entry.
TEST(StringArray, AppendingOrInsertingItselfKeepsEveryString)
{
    CStringArray a;
    a.Add("a");
    a.Add("b");
    a.Add("c");
    EXPECT_EQ(a.Append(a), 3);
    EXPECT_EQ(Items(a), (Strings{"a", "b", "c", "a", "b", "c"}));

    CStringArray b;
    b.Add("x");
    b.Add("y");
    b.Add("z");
    b.InsertAt(1, b);
    EXPECT_EQ(Items(b), (Strings{"x", "x", "y", "z", "y", "z"}));
}

TEST(StringArray, GrowingToSetOneOfItsOwnStringsKeepsThatString)
{
    CStringArray a;
    a.Add("first string, too long to live inside the string object itself");
    a.SetAtGrow(40, a[0]);
    EXPECT_EQ(std::string(a[40]), std::string(a[0]));
    EXPECT_EQ(a.GetSize(), 41);
    a.InsertAt(100, a[0], 2);
    EXPECT_EQ(a.GetSize(), 102);
    EXPECT_EQ(std::string(a[101]), std::string(a[0]));
}

TEST(StringList, AddingItselfAtEitherEndDoublesTheList)
{
    CStringList list;
    list.AddTail("a");
    list.AddTail("b");
    list.AddTail(list);
    EXPECT_EQ(Items(list), (Strings{"a", "b", "a", "b"}));
    list.AddHead(list);
    EXPECT_EQ(list.GetCount(), 8);
    EXPECT_EQ(Items(list), (Strings{"a", "b", "a", "b", "a", "b", "a", "b"}));
}

TEST(StringList, AddsAtBothEndsAndWalksInOrder)
{
    CStringList list;
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    list.AddTail("b");
    list.AddTail("c");
    list.AddHead("a");
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_EQ(Items(list), (Strings{"a", "b", "c"}));
    EXPECT_EQ(std::string(list.GetHead()), "a");
    EXPECT_EQ(std::string(list.GetTail()), "c");
    Strings backwards;
    for (POSITION pos = list.GetTailPosition(); pos != nullptr;)
        backwards.emplace_back(list.GetPrev(pos).GetString());
    EXPECT_EQ(backwards, (Strings{"c", "b", "a"}));
}

TEST(StringList, FindAndRemoveAtPositions)
{
    CStringList list;
    list.AddTail("x");
    list.AddTail("y");
    list.AddTail("x");
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

TEST(StringList, CopiesAreDeep)
{
    CStringList a;
    a.AddTail("1");
    a.AddTail("2");
    CStringList b(a);
    b.GetHead() = "changed";
    b.AddTail("3");
    EXPECT_EQ(Items(a), (Strings{"1", "2"}));
    a = b;
    EXPECT_EQ(Items(a), (Strings{"changed", "2", "3"}));
    a.AddHead(b);
    EXPECT_EQ(a.GetCount(), 6);
    EXPECT_EQ(Items(a)[0], "changed");
    EXPECT_EQ(Items(a)[3], "changed");
}

} // namespace
