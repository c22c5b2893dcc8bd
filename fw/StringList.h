// CStringList: a doubly linked list of strings walked with POSITION values.
// A POSITION stays valid until its element is removed. Its archive form is
// the one of CStringArray: the count, then each string.
#pragma once

#include "fw/Api.h"
#include "fw/String.h"

class CArchive;

// An opaque place in a list; nullptr is "no element".
struct __POSITION {};
typedef __POSITION* POSITION;

class SONVERA_API CStringList {
public:
    CStringList() = default;
    CStringList(const CStringList& other);
    CStringList& operator=(const CStringList& other);
    ~CStringList();

    int GetCount() const { return m_nCount; }
    int GetSize() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }

    // Head and tail; calling them on an empty list raises std::out_of_range.
    CString& GetHead();
    const CString& GetHead() const;
    CString& GetTail();
    const CString& GetTail() const;
    CString RemoveHead();
    CString RemoveTail();

    POSITION AddHead(const CString& value);
    POSITION AddTail(const CString& value);
    void AddHead(const CStringList& other);
    void AddTail(const CStringList& other);
    void RemoveAll();

    POSITION GetHeadPosition() const;
    POSITION GetTailPosition() const;
    // The element at `pos`; `pos` moves to the next (previous) one, nullptr after the last.
    CString& GetNext(POSITION& pos);
    const CString& GetNext(POSITION& pos) const;
    CString& GetPrev(POSITION& pos);
    const CString& GetPrev(POSITION& pos) const;

    CString& GetAt(POSITION pos);
    const CString& GetAt(POSITION pos) const;
    void SetAt(POSITION pos, const CString& value);
    void RemoveAt(POSITION pos);
    POSITION InsertBefore(POSITION pos, const CString& value);   // nullptr pos: at the head
    POSITION InsertAfter(POSITION pos, const CString& value);    // nullptr pos: at the tail

    // The first element equal (byte for byte) to `value` after `startAfter`
    // (nullptr: from the head), or nullptr.
    POSITION Find(const char* value, POSITION startAfter = nullptr) const;
    // The element at a zero-based index, or nullptr.
    POSITION FindIndex(int index) const;

    void Serialize(CArchive& ar);

private:
    struct CNode;
    static CNode* Node(POSITION pos);

    CNode* m_pHead = nullptr;
    CNode* m_pTail = nullptr;
    int m_nCount = 0;
};
