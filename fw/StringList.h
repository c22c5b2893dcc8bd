// CStringList: a linked list of strings walked with POSITION values.
// A POSITION stays valid until the list is emptied. Its archive form is the
// one of CStringArray: the count, then each string.
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

    POSITION AddTail(const CString& value);
    void AddTail(const CStringList& other);
    void RemoveAll();

    POSITION GetHeadPosition() const;
    // The element at `pos`; `pos` moves to the next one, nullptr after the last.
    const CString& GetNext(POSITION& pos) const;
    POSITION InsertAfter(POSITION pos, const CString& value);    // nullptr pos: at the tail

    void Serialize(CArchive& ar);

private:
    struct CNode;
    static CNode* Node(POSITION pos);

    CNode* m_pHead = nullptr;
    CNode* m_pTail = nullptr;
    int m_nCount = 0;
};
