#include "fw/StringList.h"

#include <stdexcept>

#include "fw/Archive.h"

struct CStringList::CNode : __POSITION {
    CNode* pNext = nullptr;
    CNode* pPrev = nullptr;
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

CString& CStringList::GetHead() { return Node(m_pHead)->data; }
const CString& CStringList::GetHead() const { return Node(m_pHead)->data; }
CString& CStringList::GetTail() { return Node(m_pTail)->data; }
const CString& CStringList::GetTail() const { return Node(m_pTail)->data; }

CString CStringList::RemoveHead()
{
    CString value = GetHead();
    RemoveAt(m_pHead);
    return value;
}

CString CStringList::RemoveTail()
{
    CString value = GetTail();
    RemoveAt(m_pTail);
    return value;
}

POSITION CStringList::AddHead(const CString& value)
{
    return InsertBefore(m_pHead, value);
}

POSITION CStringList::AddTail(const CString& value)
{
    return InsertAfter(m_pTail, value);
}

void CStringList::AddHead(const CStringList& other)
{
    // A list added to itself is walked as a copy: the walk would otherwise meet
    // the nodes it adds and never end.
    if (&other == this) {
        const CStringList copy(other);
        AddHead(copy);
        return;
    }
    // Walk backwards so the other list keeps its order in front of ours.
    for (POSITION pos = other.GetTailPosition(); pos != nullptr;)
        AddHead(other.GetPrev(pos));
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
POSITION CStringList::GetTailPosition() const { return m_pTail; }

CString& CStringList::GetNext(POSITION& pos)
{
    CNode* node = Node(pos);
    pos = node->pNext;
    return node->data;
}

const CString& CStringList::GetNext(POSITION& pos) const
{
    CNode* node = Node(pos);
    pos = node->pNext;
    return node->data;
}

CString& CStringList::GetPrev(POSITION& pos)
{
    CNode* node = Node(pos);
    pos = node->pPrev;
    return node->data;
}

const CString& CStringList::GetPrev(POSITION& pos) const
{
    CNode* node = Node(pos);
    pos = node->pPrev;
    return node->data;
}

CString& CStringList::GetAt(POSITION pos) { return Node(pos)->data; }
const CString& CStringList::GetAt(POSITION pos) const { return Node(pos)->data; }

void CStringList::SetAt(POSITION pos, const CString& value)
{
    Node(pos)->data = value;
}

void CStringList::RemoveAt(POSITION pos)
{
    CNode* node = Node(pos);
    (node->pPrev != nullptr ? node->pPrev->pNext : m_pHead) = node->pNext;
    (node->pNext != nullptr ? node->pNext->pPrev : m_pTail) = node->pPrev;
    delete node;
    --m_nCount;
}

POSITION CStringList::InsertBefore(POSITION pos, const CString& value)
{
    CNode* node = new CNode;
    node->data = value;
    CNode* next = pos != nullptr ? Node(pos) : m_pHead;
    node->pNext = next;
    node->pPrev = next != nullptr ? next->pPrev : nullptr;
    (node->pPrev != nullptr ? node->pPrev->pNext : m_pHead) = node;
    (next != nullptr ? next->pPrev : m_pTail) = node;
    ++m_nCount;
    return node;
}

POSITION CStringList::InsertAfter(POSITION pos, const CString& value)
{
    CNode* node = new CNode;
    node->data = value;
    CNode* prev = pos != nullptr ? Node(pos) : m_pTail;
    node->pPrev = prev;
    node->pNext = prev != nullptr ? prev->pNext : nullptr;
    (node->pNext != nullptr ? node->pNext->pPrev : m_pTail) = node;
    (prev != nullptr ? prev->pNext : m_pHead) = node;
    ++m_nCount;
    return node;
}

POSITION CStringList::Find(const char* value, POSITION startAfter) const
{
    CNode* node = startAfter != nullptr ? Node(startAfter)->pNext : m_pHead;
    for (; node != nullptr; node = node->pNext) {
        if (node->data == value)
            return node;
    }
    return nullptr;
}

POSITION CStringList::FindIndex(int index) const
{
    if (index < 0 || index >= m_nCount)
        return nullptr;
    CNode* node = m_pHead;
    while (index-- > 0)
        node = node->pNext;
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
