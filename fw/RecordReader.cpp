#include "fw/RecordReader.h"

#include "fw/FileException.h"

CRecordReader::CRecordReader(const void* image, size_t size, const CString& path)
    : m_image(static_cast<const unsigned char*>(image)), m_size(image != nullptr ? size : 0), m_position(0),
      m_strPath(path)
{
}

long long CRecordReader::RecordLength(int& cause) const
{
    if (Remaining() < kLengthSize) {
        cause = CFileException::endOfFile;
        return -1;
    }
    const unsigned char* p = m_image + m_position;
    const unsigned long length = static_cast<unsigned long>(p[0]) | (static_cast<unsigned long>(p[1]) << 8) |
                                 (static_cast<unsigned long>(p[2]) << 16) |
                                 (static_cast<unsigned long>(p[3]) << 24);
    if (length > Remaining() - kLengthSize) {
        cause = CFileException::invalidFile;
        return -1;
    }
    return static_cast<long long>(length);
}

void CRecordReader::ThrowDamaged(int cause) const
{
    CFileException::Throw(cause, m_strPath, "record length");
}

CString CRecordReader::Next()
{
    CString record;
    if (!TryNext(record)) {
        int cause = CFileException::none;
        RecordLength(cause);
        ThrowDamaged(cause);
    }
    return record;
}

void CRecordReader::Skip()
{
    int cause = CFileException::none;
    const long long length = RecordLength(cause);
    if (length < 0)
        ThrowDamaged(cause);
    m_position += kLengthSize + static_cast<size_t>(length);
}

bool CRecordReader::TryNext(CString& record)
{
    int cause = CFileException::none;
    const long long length = RecordLength(cause);
    if (length < 0)
        return false;
    record = CString(reinterpret_cast<const char*>(m_image + m_position + kLengthSize), static_cast<int>(length));
    m_position += kLengthSize + static_cast<size_t>(length);
    return true;
}
