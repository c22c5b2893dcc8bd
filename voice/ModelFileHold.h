// CModelFileHold: the engine's model file of one nick, held against every
// other dialog on this computer for one step that puts a model there and has
// the engine read or write it: fetching the user's model, judging a take
// against it and storing the engine's update back, or training. Every
// dialog's engine works in the application's one work folder, so a fetch of
// another dialog in the middle of such a step would have the take judged
// against, and the update taken from, the other user's model; a training in
// the middle of it would be judged against, and then lost.
//
// A verification puts back what it found (bPutBack): the file may hold the
// model an enrolment has just trained, which stays there until its host
// stores it, and a verification in between must not take it away. What is
// to be put back is recorded beside the file before the fetch, and every
// hold first puts back what a holder that died left recorded
// (userdata/ModelPutBack.h).
//
// The lock is CFileLock's, on the model file's path, which the voice
// dictionary's own model moves take too (a host storing an enrolled model
// waits for the hold to end); inside the hold the dialog moves models with
// the dictionary's Held forms. A nick that names no model block (a word
// list may name any key) holds nothing, as no model of the voice dictionary
// is ever fetched for it.
#pragma once

#include <memory>
#include <vector>

#include "fw/FileLock.h"
#include "fw/String.h"

class CModelFileHold {
public:
    CModelFileHold(const CString& strAppPath, const CString& strNick, bool bPutBack);
    // The engine's model file of the nick in the application's work folder.
    static CString ModelPath(const CString& strAppPath, const CString& strNick);
    // Puts back what was found when PutBack was not reached (a failure on the
    // way); a failure of that is not raised over the one being handled.
    ~CModelFileHold();
    CModelFileHold(const CModelFileHold&) = delete;
    CModelFileHold& operator=(const CModelFileHold&) = delete;

    // Gives the file back its contents from the start of the hold, or removes
    // it when there was none. Failures are raised as CFileException; a file
    // that could not be given back its contents is removed. Once the file is
    // given back, a record of it that cannot be removed is left for the next
    // holder.
    void PutBack();

private:
    void RemoveQuietly();

    CString m_strPath;
    std::unique_ptr<CFileLock> m_pLock;
    bool m_bPutBack;
    bool m_bFound;
    std::vector<BYTE> m_found;
};
