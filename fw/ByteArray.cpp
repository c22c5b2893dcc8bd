#include "fw/ByteArray.h"

#include "fw/Archive.h"

void CByteArray::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD>(m_data.size()));
        for (const BYTE value : m_data)
            ar << value;
        return;
    }
    const DWORD count = ar.ReadCount();
    // Checked against the bytes left before anything is allocated for it.
    ar.CheckCount(count, 1);
    std::vector<BYTE> loaded(count);
    for (BYTE& value : loaded)
        ar >> value;
    m_data.swap(loaded);
}
