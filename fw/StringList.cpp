#include "fw/StringList.h"

#include <stdexcept>

#include "fw/Archive.h"

struct CStringList::CNode : __POSITION {
    CNode* pNext = nullptr;
    CString data;
};

CStringList::CNode* CStringList::Node(POSITION pos)
{
    if (pos == nullptr)
        throw std::out_of_range("null list position");
    return static_cast<CNode*>(pos);
}

CStringList::CStringList(const CStringList& other)
{
    AddTail(other);
}

CStringList& CStringList::operator=(const CStringList& other)
{
    if (this != &other) {
        CStringList copy(other);
        std::swap(m_pHead, copy.m_pHead);
        std::swap(m_pTail, copy.m_pTail);
        std::swap(m_nCount, copy.m_nCount);
    }
    return *this;
}

CStringList::~CStringList()
{
    RemoveAll();
}

POSITION CStringList::AddTail(const CString& value)
{
    return InsertAfter(m_pTail, value);
}

void CStringList::AddTail(const CStringList& other)
{
    if (&other == this) {
        const CStringList copy(other);
        AddTail(copy);
        return;
    }
    for (POSITION pos = other.GetHeadPosition(); pos != nullptr;)
        AddTail(other.GetNext(pos));
}

void CStringList::RemoveAll()
{
    while (m_pHead != nullptr) {
        CNode* next = m_pHead->pNext;
        delete m_pHead;
        m_pHead = next;
    }
    m_pTail = nullptr;
    m_nCount = 0;
}

POSITION CStringList::GetHeadPosition() const { return m_pHead; }

const CString& CStringList::GetNext(POSITION& pos) const
{
    CNode* node = Node(pos);
    pos = node->pNext;
    return node->data;
}

POSITION CStringList::InsertAfter(POSITION pos, const CString& value)
{
    CNode* node = new CNode;
    node->data = value;
    CNode* prev = pos != nullptr ? Node(pos) : m_pTail;
    node->pNext = prev != nullptr ? prev->pNext : nullptr;
    if (node->pNext == nullptr)
        m_pTail = node;
    (prev != nullptr ? prev->pNext : m_pHead) = node;
    ++m_nCount;
    return node;
}

void CStringList::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD>(m_nCount));
        for (CNode* node = m_pHead; node != nullptr; node = node->pNext)
            ar << node->data;
        return;
    }
    const DWORD count = ar.ReadCount();
    ar.CheckCount(count, 1);
    // Loaded aside first, so a damaged archive leaves the list as it was.
    CStringList loaded;
    for (DWORD i = 0; i < count; ++i)
        loaded.AddTail(ar.ReadString());
    AddTail(loaded);
}
