// The two volume bars a mixer drives, by name ("SPEAKER", "MIC"): the skin's
// progress bars in the voice dialog.
#pragma once

#include "fw/Api.h"
#include "fw/String.h"

class SONVERA_API IVolumeBars
{
public:
    virtual ~IVolumeBars() = default;

    virtual void SetBarPos(const CString& strName, int nPos) = 0;
    // 0 for a bar the skin does not have.
    virtual int GetBarPos(const CString& strName) = 0;
};
