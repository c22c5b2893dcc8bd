#include "fw/Archive.h"

#include <vector>

CArchive::CArchive(CFile* file, UINT mode) : m_pFile(file), m_bLoading(mode == load)
{
    if (m_pFile == nullptr)
        throw CArchiveException(CArchiveException::genericException);
}

void CArchive::RequireLoading() const
{
    if (!m_bLoading)
        throw CArchiveException(CArchiveException::writeOnly, m_pFile->GetFilePath());
}

void CArchive::RequireStoring() const
{
    if (m_bLoading)
        throw CArchiveException(CArchiveException::readOnly, m_pFile->GetFilePath());
}

UINT CArchive::Read(void* buffer, UINT count)
{
    RequireLoading();
    return m_pFile->Read(buffer, count);
}

void CArchive::EnsureRead(void* buffer, UINT count)
{
    if (Read(buffer, count) != count)
        throw CArchiveException(CArchiveException::endOfFile, m_pFile->GetFilePath());
}

void CArchive::Write(const void* buffer, UINT count)
{
    RequireStoring();
    m_pFile->Write(buffer, count);
}

ULONGLONG CArchive::GetRemaining() const
{
    const ULONGLONG length = m_pFile->GetLength();
    const ULONGLONG position = m_pFile->GetPosition();
    return position < length ? length - position : 0;
}

void CArchive::CheckCount(ULONGLONG count, ULONGLONG minBytesEach) const
{
    if (minBytesEach == 0)
        minBytesEach = 1;
    if (count > GetRemaining() / minBytesEach)
        throw CArchiveException(CArchiveException::endOfFile, m_pFile->GetFilePath());
}

template <typename T>
void CArchive::Put(T value)
{
    // Little-endian whatever the host: byte by byte from the low end.
    BYTE bytes[sizeof(T)];
    auto bits = static_cast<unsigned long long>(value);
    for (size_t i = 0; i < sizeof(T); ++i) {
        bytes[i] = static_cast<BYTE>(bits & 0xFFu);
        bits >>= 8;
    }
    Write(bytes, sizeof(T));
}

template <typename T>
T CArchive::Get()
{
    BYTE bytes[sizeof(T)];
    EnsureRead(bytes, sizeof(T));
    unsigned long long bits = 0;
    for (size_t i = sizeof(T); i > 0; --i)
        bits = (bits << 8) | bytes[i - 1];
    return static_cast<T>(bits);
}

void CArchive::WriteCount(DWORD count)
{
    if (count < 0xFFFFu) {
        Put<WORD>(static_cast<WORD>(count));
    } else {
        Put<WORD>(0xFFFFu);
        Put<DWORD>(count);
    }
}

DWORD CArchive::ReadCount()
{
    const WORD small = Get<WORD>();
    if (small != 0xFFFFu)
        return small;
    return Get<DWORD>();
}

void CArchive::WriteString(const CString& text)
{
    const DWORD length = static_cast<DWORD>(text.GetLength());
    if (length < 0xFFu) {
        Put<BYTE>(static_cast<BYTE>(length));
    } else if (length < 0xFFFEu) {
        Put<BYTE>(0xFFu);
        Put<WORD>(static_cast<WORD>(length));
    } else {
        Put<BYTE>(0xFFu);
        Put<WORD>(0xFFFFu);
        Put<DWORD>(length);
    }
    Write(text.GetString(), length);
}

namespace {

// One length prefix: 0xFF 0xFFFE is reported as kWideMarker.
const ULONGLONG kWideMarker = 0x100000000ull;

ULONGLONG ReadLengthPrefix(CArchive& ar)
{
    BYTE b = 0;
    ar >> b;
    if (b < 0xFFu)
        return b;
    WORD w = 0;
    ar >> w;
    if (w == 0xFFFEu)
        return kWideMarker;
    if (w < 0xFFFFu)
        return w;
    DWORD d = 0;
    ar >> d;
    return d;
}

} // namespace

CString CArchive::ReadString()
{
    // A UTF-16 string carries the marker, then its character count as a second prefix.
    ULONGLONG length = ReadLengthPrefix(*this);
    const bool wide = length == kWideMarker;
    if (wide)
        length = ReadLengthPrefix(*this);
    if (length == kWideMarker || length > 0x7FFFFFFFull)
        throw CArchiveException(CArchiveException::badSchema, m_pFile->GetFilePath());
    if (length == 0)
        return CString();
    CheckCount(length, wide ? 2 : 1);
    if (!wide) {
        CString text;
        char* p = text.GetBufferSetLength(static_cast<int>(length));
        EnsureRead(p, static_cast<UINT>(length));
        return text;
    }
    std::vector<BYTE> bytes(static_cast<size_t>(length) * 2);
    EnsureRead(bytes.data(), static_cast<UINT>(bytes.size()));
    std::vector<wchar_t> chars(static_cast<size_t>(length));
    for (size_t i = 0; i < chars.size(); ++i)
        chars[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return CString::FromWide(chars.data(), static_cast<int>(length));
}

CArchive& CArchive::operator<<(BYTE value) { Put(value); return *this; }
CArchive& CArchive::operator<<(WORD value) { Put(value); return *this; }
CArchive& CArchive::operator<<(DWORD value) { Put(value); return *this; }

CArchive& CArchive::operator>>(BYTE& value) { value = Get<BYTE>(); return *this; }
CArchive& CArchive::operator>>(WORD& value) { value = Get<WORD>(); return *this; }
CArchive& CArchive::operator>>(DWORD& value) { value = Get<DWORD>(); return *this; }
