#include "fw/RollbackJournal.h"

#include <cstring>
#include <vector>

#include "fw/FileException.h"
#include "fw/FileSystem.h"

namespace {

const char kMagic[4] = {'S', 'V', 'J', '1'};
const size_t kHeaderSize = 28;
const size_t kChecksumOffset = 24;
// A journal saves one change of one block; anything larger is not a journal of ours.
const ULONGLONG kLargestJournal = 64u * 1024u * 1024u;

void PutWord(std::vector<BYTE>& out, size_t offset, ULONGLONG value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[offset + i] = static_cast<BYTE>((value >> (8 * i)) & 0xFF);
}

ULONGLONG GetWord(const std::vector<BYTE>& in, size_t offset, int bytes)
{
    ULONGLONG value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<ULONGLONG>(in[offset + i]) << (8 * i);
    return value;
}

// FNV-1a over the header (without its checksum field) and the saved bytes:
// enough to tell a journal cut off while it was written from a whole one.
DWORD Checksum(const std::vector<BYTE>& journal)
{
    DWORD hash = 2166136261u;
    for (size_t i = 0; i < journal.size(); ++i) {
        if (i >= kChecksumOffset && i < kHeaderSize)
            continue;
        hash = (hash ^ journal[i]) * 16777619u;
    }
    return hash;
}

struct Saved {
    ULONGLONG length;
    ULONGLONG offset;
    std::vector<BYTE> bytes;
};

// The change a journal describes, or false when the journal is not whole.
bool ParseJournal(const std::vector<BYTE>& journal, Saved& saved)
{
    if (journal.size() < kHeaderSize || std::memcmp(journal.data(), kMagic, sizeof kMagic) != 0)
        return false;
    const ULONGLONG count = GetWord(journal, 20, 4);
    if (count != journal.size() - kHeaderSize || GetWord(journal, kChecksumOffset, 4) != Checksum(journal))
        return false;
    saved.length = GetWord(journal, 4, 8);
    saved.offset = GetWord(journal, 12, 8);
    saved.bytes.assign(journal.begin() + kHeaderSize, journal.end());
    return saved.offset + count <= saved.length;
}

std::vector<BYTE> ReadAll(CFile& file, ULONGLONG limit, const CString& path)
{
    const ULONGLONG length = file.GetLength();
    if (length > limit)
        CFileException::Throw(CFileException::invalidFile, path, "journal size");
    std::vector<BYTE> bytes(static_cast<size_t>(length));
    if (!bytes.empty())
        file.ReadExact(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

// Puts the saved bytes back and the length as it was; flushed before it returns.
void PutBack(CFile& file, const Saved& saved)
{
    if (!saved.bytes.empty()) {
        file.Seek(static_cast<LONGLONG>(saved.offset), CFile::begin);
        file.Write(saved.bytes.data(), static_cast<UINT>(saved.bytes.size()));
    }
    if (file.GetLength() != saved.length)
        file.SetLength(saved.length);
    file.Flush();
}

void RemoveJournal(const CString& journalPath)
{
    CFile::Remove(journalPath);
}

} // namespace

CString CRollbackJournal::JournalPath(const CString& path)
{
    return path + "-journal";
}

bool CRollbackJournal::Recover(const CString& path)
{
    const CString journalPath = JournalPath(path);
    CFile journal;
    CFileException error;
    if (!journal.Open(journalPath, CFile::modeRead | CFile::shareExclusive, &error)) {
        if (error.m_lOsError == ERROR_FILE_NOT_FOUND)
            return false;
        throw error;
    }
    const std::vector<BYTE> bytes = ReadAll(journal, kLargestJournal, journalPath);
    journal.Close();
    Saved saved;
    if (!ParseJournal(bytes, saved)) {
        // Cut off while it was written: the file was not touched yet.
        RemoveJournal(journalPath);
        return false;
    }
    // A file deleted since the crash (to start the store anew) has nothing
    // to put back, and its journal must not be applied to the next file made
    // at its place; any other failure to open it keeps the journal.
    CFile file;
    if (!file.Open(path, CFile::modeReadWrite | CFile::shareExclusive, &error)) {
        if (error.m_lOsError != ERROR_FILE_NOT_FOUND)
            throw error;
        RemoveJournal(journalPath);
        return false;
    }
    PutBack(file, saved);
    file.Close();
    RemoveJournal(journalPath);
    return true;
}

void CRollbackJournal::Write(CFile& file, ULONGLONG offset, const void* data, size_t size)
{
    const CString path = file.GetFilePath();
    const CString journalPath = JournalPath(path);

    Saved saved;
    saved.length = file.GetLength();
    saved.offset = offset < saved.length ? offset : saved.length;
    const ULONGLONG end = offset + size < saved.length ? offset + size : saved.length;
    saved.bytes.resize(static_cast<size_t>(end - saved.offset));
    if (!saved.bytes.empty()) {
        file.Seek(static_cast<LONGLONG>(saved.offset), CFile::begin);
        file.ReadExact(saved.bytes.data(), static_cast<UINT>(saved.bytes.size()));
    }

    std::vector<BYTE> image(kHeaderSize);
    std::memcpy(image.data(), kMagic, sizeof kMagic);
    PutWord(image, 4, saved.length, 8);
    PutWord(image, 12, saved.offset, 8);
    PutWord(image, 20, saved.bytes.size(), 4);
    image.insert(image.end(), saved.bytes.begin(), saved.bytes.end());
    PutWord(image, kChecksumOffset, Checksum(image), 4);

    // 1. The journal, whole and on disk, before the file is touched.
    {
        CFile journal;
        CFileException error;
        if (!journal.Open(journalPath, CFile::modeWrite | CFile::modeCreateNew | CFile::shareExclusive, &error))
            throw error;
        try {
            journal.Write(image.data(), static_cast<UINT>(image.size()));
            journal.Flush();
            journal.Close();
        } catch (...) {
            journal.Abort();
            GetFileSystem().Delete(journalPath.ToWide().c_str());
            throw;
        }
    }

    // 2. The change in place; 3. the journal goes.
    try {
        file.Seek(static_cast<LONGLONG>(offset), CFile::begin);
        file.Write(data, static_cast<UINT>(size));
        file.Flush();
        RemoveJournal(journalPath);
    } catch (...) {
        // The old bytes back at once; should that fail too, the journal stays
        // and the next Recover does it.
        try {
            PutBack(file, saved);
            RemoveJournal(journalPath);
        } catch (const CFileException&) {
        }
        throw;
    }
}
