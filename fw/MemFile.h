// CMemFile: a CFile over a growable block of memory, for registry blobs and
// anything else that is serialised before it is stored. Nothing can fail but
// a seek before the start.
#pragma once

#include <windows.h>

#include <vector>

#include "fw/Api.h"
#include "fw/File.h"

class SONVERA_API CMemFile : public CFile {
public:
    // An empty file; `growBytes` is the reserve step when it grows.
    explicit CMemFile(UINT growBytes = 1024);
    // A file holding a copy of the given bytes, positioned at its start.
    CMemFile(const BYTE* data, UINT size);
    ~CMemFile() override;

    BOOL Open(const char* path, UINT openFlags, CFileException* error = nullptr) override;   // FALSE: not a disk file
    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    ULONGLONG Seek(LONGLONG offset, UINT from) override;
    ULONGLONG GetLength() const override;
    ULONGLONG GetPosition() const override;
    void SetLength(ULONGLONG newLength) override;
    void Flush() override {}
    void Close() override;   // empties the file
    void Abort() override;
    BOOL IsOpen() const override { return TRUE; }

    // The bytes written so far; valid until the next change.
    const BYTE* GetBuffer() const { return m_data.data(); }
    UINT GetSize() const { return static_cast<UINT>(m_data.size()); }
    // Replaces the contents with a copy of the bytes and rewinds.
    void Attach(const BYTE* data, UINT size);
    // Hands the bytes over and leaves the file empty.
    std::vector<BYTE> Detach();

private:
    std::vector<BYTE> m_data;
    size_t m_position;
    size_t m_growBytes;
};
