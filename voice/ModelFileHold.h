// CModelFileHold: the engine's model file of one nick, held against every
// other dialog on this computer for one step that puts a model there and has
// the engine read it: fetching the user's model, judging a take against it
// and storing the engine's update back. Every dialog's engine works in the
// application's one work folder, so a fetch of another dialog in the middle
// of such a step would have the take judged against, and the update taken
// from, the other user's model.
//
// The lock is CFileLock's, on the model file's path; a nick that names no
// model block (a word list may name any key) holds nothing, as no model of
// the voice dictionary is ever fetched for it.
#pragma once

#include <memory>

#include "fw/FileLock.h"
#include "fw/String.h"

class CModelFileHold {
public:
    CModelFileHold(const CString& strAppPath, const CString& strNick);

    CString Path() const { return m_strPath; }

private:
    CString m_strPath;
    std::unique_ptr<CFileLock> m_pLock;
};
