// CInfoDC: an information context of a device (such as "DISPLAY"): fonts can
// be selected into it and measured, nothing can be drawn. Deleted when the
// scope ends.
#pragma once

#include "fw/DC.h"

class SONVERA_API CInfoDC : public CDC {
public:
    explicit CInfoDC(const char* driver) : CDC(::CreateICA(driver, nullptr, nullptr, nullptr)) {}
    ~CInfoDC()
    {
        RestoreSelections();
        if (m_hDC != nullptr)
            ::DeleteDC(m_hDC);
    }

    // FALSE when the system could not make the context.
    bool IsValid() const { return m_hDC != nullptr; }
};
