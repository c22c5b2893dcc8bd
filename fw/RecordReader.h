// CRecordReader: walks the records of a store's image, each a 32-bit
// little-endian length and that many bytes (the user dictionary, marzet.dat,
// and the texts in a voice-dictionary slot). Every length is checked against
// what is left of the image before anything is taken from it, so a damaged
// length can neither read past the end nor make a huge allocation.
#pragma once

#include <windows.h>

#include <cstddef>

#include "fw/Api.h"
#include "fw/String.h"

class SONVERA_API CRecordReader {
public:
    static const size_t kLengthSize = 4;

    // Reads the image in place; it must outlive the reader. The path names the
    // store in the exceptions.
    CRecordReader(const void* image, size_t size, const CString& path);

    bool AtEnd() const { return m_position == m_size; }
    size_t Position() const { return m_position; }
    size_t Remaining() const { return m_size - m_position; }

    // The next record's bytes. A length word cut short raises CFileException
    // endOfFile, a length past the end invalidFile; the position stays.
    CString Next();
    void Skip();
    // The next record, or false with the position unchanged when it is damaged.
    bool TryNext(CString& record);

private:
    // The length of the record at the position, or -1 and the cause when it is damaged.
    long long RecordLength(int& cause) const;
    [[noreturn]] void ThrowDamaged(int cause) const;

    const unsigned char* m_image;
    size_t m_size;
    size_t m_position;
    CString m_strPath;
};
