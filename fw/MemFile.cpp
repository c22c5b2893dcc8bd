#include "fw/MemFile.h"

#include <cstring>

CMemFile::CMemFile(UINT growBytes) : m_position(0), m_growBytes(growBytes > 0 ? growBytes : 1024)
{
    m_strFileName = "memory";
}

CMemFile::CMemFile(const BYTE* data, UINT size) : CMemFile()
{
    Attach(data, size);
}

CMemFile::~CMemFile() = default;

UINT CMemFile::Read(void* buffer, UINT count)
{
    if (m_position >= m_data.size() || count == 0)
        return 0;
    const size_t left = m_data.size() - m_position;
    const size_t n = count < left ? count : left;
    std::memcpy(buffer, m_data.data() + m_position, n);
    m_position += n;
    return static_cast<UINT>(n);
}

void CMemFile::Write(const void* buffer, UINT count)
{
    if (count == 0)
        return;
    const size_t endAt = m_position + count;
    if (endAt > m_data.size()) {
        if (endAt > m_data.capacity())
            m_data.reserve(endAt + m_growBytes);
        m_data.resize(endAt);
    }
    std::memcpy(m_data.data() + m_position, buffer, count);
    m_position = endAt;
}

ULONGLONG CMemFile::GetLength() const
{
    return m_data.size();
}

ULONGLONG CMemFile::GetPosition() const
{
    return m_position;
}

void CMemFile::Attach(const BYTE* data, UINT size)
{
    m_data.assign(data, data + (data != nullptr ? size : 0));
    m_position = 0;
}

std::vector<BYTE> CMemFile::Detach()
{
    std::vector<BYTE> out;
    out.swap(m_data);
    m_position = 0;
    return out;
}
