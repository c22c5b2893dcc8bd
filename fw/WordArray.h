// CWordArray: an array of 16-bit words. Its archive form is the element count, then
// 2 byte(s) per element, little-endian.
#pragma once

#include <windows.h>

#include "fw/Api.h"
#include "fw/ElementArray.h"

class CArchive;

class SONVERA_API CWordArray : public CElementArray<WORD> {
public:
    void Serialize(CArchive& ar);
};
