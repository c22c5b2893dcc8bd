// CFont: an owned font.
#pragma once

#include "fw/GdiObject.h"

class SONVERA_API CFont : public CGdiObject {
public:
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }

    BOOL CreateFontIndirect(const LOGFONTA& description) { return Attach(::CreateFontIndirectA(&description)); }
    // The font's description; FALSE without a font.
    BOOL GetLogFont(LOGFONTA& description) const
    {
        return m_hObject != nullptr && ::GetObjectA(m_hObject, sizeof description, &description) != 0;
    }
};
