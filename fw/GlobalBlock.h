// CGlobalBlock: one movable global memory block, locked for as long as the
// object holds it, and freed by it. It keeps the size it was allocated with,
// which bounds every access to it.
#pragma once

#include <windows.h>

#include "fw/Api.h"

class SONVERA_API CGlobalBlock {
public:
    CGlobalBlock() = default;
    ~CGlobalBlock() { Free(); }
    CGlobalBlock(const CGlobalBlock&) = delete;
    CGlobalBlock& operator=(const CGlobalBlock&) = delete;

    // Allocates a block of `size` bytes (not cleared) and locks it; false,
    // holding nothing, when either fails or the size is 0. Allocating while a
    // block is held is a bug and raises std::logic_error.
    bool Allocate(DWORD size);
    // Unlocks and frees the block; harmless when none is held.
    void Free();

    // The block's handle, for calls that take one (a stream over the block).
    HGLOBAL Handle() const { return m_hBlock; }
    void* Data() const { return m_pData; }
    // The allocated size in bytes; 0 when nothing is held.
    DWORD Size() const { return m_dwSize; }

private:
    HGLOBAL m_hBlock = nullptr;
    void* m_pData = nullptr;
    DWORD m_dwSize = 0;
};
