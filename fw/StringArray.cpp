#include "fw/StringArray.h"

#include "fw/Archive.h"

void CStringArray::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD>(m_data.size()));
        for (const CString& text : m_data)
            ar << text;
        return;
    }
    const DWORD count = ar.ReadCount();
    // Every stored string takes at least its one-byte length.
    ar.CheckCount(count, 1);
    std::vector<CString> loaded(count);
    for (CString& text : loaded)
        ar >> text;
    m_data.swap(loaded);
}
