#include "fw/DWordArray.h"

#include "fw/Archive.h"

void CDWordArray::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD>(m_data.size()));
        for (const DWORD value : m_data)
            ar << value;
        return;
    }
    const DWORD count = ar.ReadCount();
    // Checked against the bytes left before anything is allocated for it.
    ar.CheckCount(count, 4);
    std::vector<DWORD> loaded(count);
    for (DWORD& value : loaded)
        ar >> value;
    m_data.swap(loaded);
}
