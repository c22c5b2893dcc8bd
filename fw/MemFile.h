// CMemFile: a CFile over a growable block of memory, for registry blobs and
// anything else that is serialised before it is stored. It is written or read
// from start to end, as CArchive does: reading, writing, the length and the
// position are its own, and none of them can fail. The CFile calls for disk
// files (Open, Seek, SetLength, Flush, Close) are not for it.
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

    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    ULONGLONG GetLength() const override;
    ULONGLONG GetPosition() const override;

    // Replaces the contents with a copy of the bytes and rewinds.
    void Attach(const BYTE* data, UINT size);
    // Hands the bytes over and leaves the file empty.
    std::vector<BYTE> Detach();

private:
    std::vector<BYTE> m_data;
    size_t m_position;
    size_t m_growBytes;
};
