// CMemoryDC: a memory DC compatible with another DC (or with the screen),
// deleted when the scope ends. Select a bitmap into it to draw on or copy
// from the bitmap.
#pragma once

#include "fw/DC.h"

class SONVERA_API CMemoryDC : public CDC {
public:
    explicit CMemoryDC(HDC compatibleWith = nullptr) : CDC(::CreateCompatibleDC(compatibleWith)) {}
    ~CMemoryDC()
    {
        RestoreSelections();
        if (m_hDC != nullptr)
            ::DeleteDC(m_hDC);
    }

    // FALSE when the system could not make the DC.
    bool IsValid() const { return m_hDC != nullptr; }
};
