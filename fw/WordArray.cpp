#include "fw/WordArray.h"

#include "fw/Archive.h"

void CWordArray::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD>(m_data.size()));
        for (const WORD value : m_data)
            ar << value;
        return;
    }
    const DWORD count = ar.ReadCount();
    // Checked against the bytes left before anything is allocated for it.
    ar.CheckCount(count, 2);
    std::vector<WORD> loaded(count);
    for (WORD& value : loaded)
        ar >> value;
    m_data.swap(loaded);
}
