// The models this process's enrolments have trained and their hosts have not
// stored yet, by model file and user.
//
// A training leaves its model in the engine's work file, which is shared by
// every dialog on the computer, and the host stores it from there only after
// the dialog has ended (SetUserVoice). A second enrolment of the same word
// ending first would replace it there, and the first host would store the
// other user's model as its own. So the dialog keeps a copy of what it
// trained here, and the host's SetUserVoice for that user and word stores
// the copy and forgets it; without one it stores the file, as before. The
// host's own GetUserVoice of that user and word forgets it too: the host has
// put another model in the file for its next store.
#pragma once

#include <windows.h>

#include <vector>

#include "fw/String.h"

namespace trained_models {

// Keeps the model a training wrote to the model file, for that user
// (replacing what an earlier training of the same file and user kept).
void Keep(const CString& strModelPath, const CString& strUserID, const std::vector<BYTE>& model);
// The kept model of that file and user; false when there is none.
bool Find(const CString& strModelPath, const CString& strUserID, std::vector<BYTE>& model);
// Forgets it, once it is stored.
void Forget(const CString& strModelPath, const CString& strUserID);

}  // namespace trained_models
