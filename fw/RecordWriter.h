// CRecordWriter: builds a store's bytes record by record, each a 32-bit
// little-endian length and that many bytes, the form CRecordReader reads.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "fw/Api.h"
#include "fw/String.h"

class SONVERA_API CRecordWriter {
public:
    // Appends the length of the data and the data.
    void Append(const CString& data);
    // Appends bytes as they are, such as records carried over unread.
    void AppendRaw(const void* data, size_t size);

    const std::vector<BYTE>& Bytes() const { return m_bytes; }
    size_t Size() const { return m_bytes.size(); }

private:
    std::vector<BYTE> m_bytes;
};
