// CByteArray: an array of bytes. Its archive form is the element count, then
// 1 byte(s) per element, little-endian.
#pragma once

#include <windows.h>

#include "fw/Api.h"
#include "fw/ElementArray.h"

class CArchive;

class SONVERA_API CByteArray : public CElementArray<BYTE> {
public:
    void Serialize(CArchive& ar);
};
