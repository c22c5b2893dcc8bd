// What a dialog must put back into the engine's model file, recorded on the
// disk beside it (model file + ".~putback") before the dialog fetches its
// user's model there, so that a process dying before the put-back cannot
// leave that model in the file, where the next enrolment's host would store
// it as its own user's. The next holder of the model file's lock puts back
// what the record says and removes it.
//
// The record is written whole or not at all (CSafeFileWriter): its first
// byte is 1, followed by the file's bytes, when the model file was there,
// and 0 alone when it was not. Every step that changes the model file holds
// its lock and calls Recover first, so a record found is always the last
// state the file had before the step that was cut off; putting it back a
// second time (a death in the middle of the put-back) gives the same file.
#pragma once

#include <windows.h>

#include <vector>

#include "fw/String.h"

namespace model_putback {

CString RecordPath(const CString& strModelPath);

// Records the file's contents from before the fetch (bFound false: there was
// no file). Raises CFileException when it cannot: nothing may be fetched then.
void Record(const CString& strModelPath, bool bFound, const std::vector<BYTE>& contents);

// Puts back what a record left by a holder that did not get to do it says,
// and removes the record; true when there was one. Raises CFileException
// when it cannot, the record then staying for the next holder.
bool Recover(const CString& strModelPath);

// The put-back is done: the record goes. Raises CFileException when it
// cannot; the record left then holds what the file holds again, and the next
// holder's Recover only writes the same file back.
void Clear(const CString& strModelPath);

}  // namespace model_putback
