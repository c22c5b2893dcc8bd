#include "fw/GlobalBlock.h"

#include <stdexcept>

bool CGlobalBlock::Allocate(DWORD size)
{
    if (m_hBlock != nullptr)
        throw std::logic_error("CGlobalBlock::Allocate: a block is still held");
    if (size == 0)
        return false;
    m_hBlock = GlobalAlloc(GMEM_MOVEABLE, size);
    if (m_hBlock == nullptr)
        return false;
    m_pData = GlobalLock(m_hBlock);
    if (m_pData == nullptr) {
        GlobalFree(m_hBlock);
        m_hBlock = nullptr;
        return false;
    }
    m_dwSize = size;
    return true;
}

void CGlobalBlock::Free()
{
    if (m_hBlock == nullptr)
        return;
    GlobalUnlock(m_hBlock);
    GlobalFree(m_hBlock);
    m_hBlock = nullptr;
    m_pData = nullptr;
    m_dwSize = 0;
}
