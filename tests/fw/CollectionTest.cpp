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

TEST(ElementArray, GrowsWithZerosEditsInPlaceAndRaisesOnABadIndex)
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

    CByteArray bytes;
    bytes.Add(1);
    EXPECT_THROW(bytes.GetAt(1), std::out_of_range);
    EXPECT_THROW(bytes.GetAt(-1), std::out_of_range);
    EXPECT_THROW(bytes.SetAt(5, 0), std::out_of_range);
    EXPECT_THROW(bytes.RemoveAt(0, 2), std::out_of_range);
    EXPECT_EQ(bytes.GetSize(), 1);
    bytes.SetAtGrow(3, 9);
    EXPECT_EQ(bytes.GetSize(), 4);
    EXPECT_EQ(bytes[2], 0);
    EXPECT_EQ(bytes[3], 9);
}

TEST(StringArray, HoldsCopiesOfStringsAlsoOfItsOwn)
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

    // A collection handed itself, or one of its own strings, takes them as they
    // were on entry, also when it must grow to take them.
    CStringArray own;
    for (const char* s : {"a", "b", "c"})
        own.Add(s);
    EXPECT_EQ(own.Append(own), 3);
    EXPECT_EQ(Items(own), (Strings{"a", "b", "c", "a", "b", "c"}));
    own.RemoveAt(3, 3);
    own.InsertAt(1, own);
    EXPECT_EQ(Items(own), (Strings{"a", "a", "b", "c", "b", "c"}));
    const std::string longText = "first string, too long to live inside the string object itself";
    own.SetAt(0, longText.c_str());
    own.SetAtGrow(40, own[0]);
    EXPECT_EQ(own.GetSize(), 41);
    EXPECT_EQ(std::string(own[40]), longText);
    own.InsertAt(100, own[0], 2);
    EXPECT_EQ(own.GetSize(), 102);
    EXPECT_EQ(std::string(own[101]), longText);
}

TEST(StringList, AddsWalksFindsRemovesAndCopiesDeeply)
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

    CStringList doubled = ListOf({"a", "b"});
    doubled.AddTail(doubled);
    EXPECT_EQ(Items(doubled), (Strings{"a", "b", "a", "b"}));
    doubled.AddHead(doubled);
    EXPECT_EQ(Items(doubled), (Strings{"a", "b", "a", "b", "a", "b", "a", "b"}));

    CStringList found = ListOf({"x", "y", "x"});
    const POSITION first = found.Find("x");
    ASSERT_NE(first, nullptr);
    const POSITION second = found.Find("x", first);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(found.Find("X"), nullptr);   // exact comparison
    EXPECT_EQ(found.Find("x", second), nullptr);
    found.SetAt(second, "z");
    found.RemoveAt(first);
    EXPECT_EQ(Items(found), (Strings{"y", "z"}));
    found.InsertBefore(found.GetHeadPosition(), "w");
    found.InsertAfter(found.FindIndex(1), "yy");
    EXPECT_EQ(Items(found), (Strings{"w", "y", "yy", "z"}));
    EXPECT_EQ(found.FindIndex(4), nullptr);
    EXPECT_EQ(std::string(found.RemoveHead()), "w");
    EXPECT_EQ(std::string(found.RemoveTail()), "z");
    EXPECT_EQ(Items(found), (Strings{"y", "yy"}));
    found.RemoveAll();
    EXPECT_TRUE(found.IsEmpty());
    EXPECT_EQ(found.GetTailPosition(), nullptr);
    EXPECT_THROW(found.GetHead(), std::out_of_range);
}

} // namespace
