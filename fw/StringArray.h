// CStringArray: an ordered array of strings. Its archive form is the element
// count, then each string with its length prefix.
#pragma once

#include "fw/Api.h"
#include "fw/ElementArray.h"
#include "fw/String.h"

class CArchive;

class SONVERA_API CStringArray : public CElementArray<CString> {
public:
    // Appends a string given as a C text.
    int Add(const char* text) { return CElementArray<CString>::Add(CString(text)); }
    int Add(const CString& text) { return CElementArray<CString>::Add(text); }

    void Serialize(CArchive& ar);
};
