// Arrays and lists as plain vectors or one bracketed text, so that a test
// writes an expected content out in full and a failure prints both sides.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "fw/StringArray.h"
#include "fw/StringList.h"

namespace sonvera_test
{
using Strings = std::vector<std::string>;

inline Strings Items(const CStringArray& array)
{
    Strings out;
    for (int i = 0; i < array.GetSize(); ++i)
        out.push_back(array[i].str());
    return out;
}

inline Strings Items(const CStringList& list)
{
    Strings out;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
        out.push_back(list.GetNext(pos).str());
    return out;
}

// The strings of an array, each in brackets, for expectations written as one text.
inline std::string Bracketed(const CStringArray& array)
{
    std::string out;
    for (const std::string& item : Items(array))
        out += "[" + item + "]";
    return out;
}

inline CStringList ListOf(std::initializer_list<const char*> texts)
{
    CStringList list;
    for (const char* text : texts)
        list.AddTail(text);
    return list;
}
} // namespace sonvera_test
