// CDWordArray: an array of 32-bit words. Its archive form is the element count, then
// 4 byte(s) per element, little-endian.
#pragma once

#include <windows.h>

#include "fw/Api.h"
#include "fw/ElementArray.h"

class CArchive;

class SONVERA_API CDWordArray : public CElementArray<DWORD> {
public:
    void Serialize(CArchive& ar);
};
