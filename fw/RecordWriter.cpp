#include "fw/RecordWriter.h"

void CRecordWriter::Append(const CString& data)
{
    const unsigned long length = static_cast<unsigned long>(data.GetLength());
    for (int i = 0; i < 4; ++i)
        m_bytes.push_back(static_cast<BYTE>((length >> (8 * i)) & 0xFF));
    AppendRaw(data.GetString(), static_cast<size_t>(data.GetLength()));
}

void CRecordWriter::AppendRaw(const void* data, size_t size)
{
    const BYTE* bytes = static_cast<const BYTE*>(data);
    m_bytes.insert(m_bytes.end(), bytes, bytes + size);
}
