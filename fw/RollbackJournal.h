// CRollbackJournal: makes an in-place change of a file all or nothing, the
// way SQLite's rollback journal does, for files too large to rewrite whole
// for each change (the voice dictionary's fixed slots).
//
//   1. The bytes the change will overwrite, and the file's length, are saved
//      in a journal beside the file (file + "-journal"), which is flushed.
//   2. The new bytes are written in place and the file is flushed.
//   3. The journal is deleted: that is the moment the change is made.
// A journal found beside the file means a change was cut off before its
// step 3: Recover puts the saved bytes back, cuts the file to its old length
// and deletes the journal. A journal that is not whole (cut off in step 1,
// before the file was touched) is only deleted, and so is one whose file is
// no longer there.
//
// Callers hold the file's CFileLock around Recover and Write, and call
// Recover whenever they touch the file, before they read it.
//
// Journal layout (integers little-endian):
//   0   "SVJ1"
//   4   u64 the file's length before the change
//   12  u64 offset of the saved bytes
//   20  u32 count of saved bytes
//   24  u32 FNV-1a checksum of bytes 0..23 and the saved bytes
//   28  the saved bytes
#pragma once

#include <windows.h>

#include <cstddef>

#include "fw/Api.h"
#include "fw/File.h"
#include "fw/String.h"

class SONVERA_API CRollbackJournal {
public:
    static CString JournalPath(const CString& path);

    // Undoes the cut-off change a journal beside the file describes; true
    // when there was one to undo. Raises CFileException when it cannot, the
    // journal then staying for the next attempt.
    static bool Recover(const CString& path);

    // Writes `size` bytes at `offset` of the open file (read and write), all
    // or nothing; the file may grow. On a failure the old bytes are put back
    // at once when that is possible (else at the next Recover) and the
    // failure is raised as CFileException.
    static void Write(CFile& file, ULONGLONG offset, const void* data, size_t size);
};
