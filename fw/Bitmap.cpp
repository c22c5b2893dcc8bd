#include "fw/Bitmap.h"

CSize CBitmap::GetSize() const
{
    BITMAP info{};
    if (m_hObject == nullptr || ::GetObjectA(m_hObject, sizeof info, &info) == 0)
        return CSize();
    return CSize(info.bmWidth, info.bmHeight);
}
