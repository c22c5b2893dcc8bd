// CSafeFileWriter: the one way a file the system rewrites reaches the disk.
//
// The new contents go to a temporary file beside the target (target name +
// ".~tmp" + a unique hexadecimal suffix, so a crash leaves a recognisable
// leftover), which is flushed to disk and then moved over the target with
// MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH). Until
// Commit succeeds the target is untouched; on any failure the temporary file
// is removed and the failure is raised as CFileException.
//
// A moved-in file keeps its own attributes and access rights, so before the
// move the temporary takes over the target's hidden, system and
// not-content-indexed attributes and its DACL with its protection from
// inheritance: a store locked down by an administrator stays locked down. If
// that cannot be done the rewrite fails like any other step; a created file
// takes what its folder gives. A read-only target is refused.
//
//     CSafeFileWriter writer(path);
//     writer.Write(data, size);
//     writer.Commit();
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "fw/Api.h"
#include "fw/File.h"
#include "fw/String.h"

class SONVERA_API CSafeFileWriter {
public:
    // Creates the temporary file, empty.
    explicit CSafeFileWriter(const CString& targetPath);
    // Without a Commit, the temporary file is removed.
    ~CSafeFileWriter();
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;

    void Write(const void* data, UINT size);

    // Flushes, closes and moves the temporary file over the target (a sharing
    // or access error on the move, a reader in the way, is tried again for a
    // moment first).
    void Commit();
    // As Commit, but only when no file is at the target: false, with the
    // temporary removed and the file there untouched, when one is.
    bool CommitAsNew();

    // Replaces the target's contents with the given bytes in one step.
    static void WriteFile(const CString& targetPath, const void* data, UINT size);
    static void WriteFile(const CString& targetPath, const std::vector<BYTE>& data);
    // Creates the target with the given bytes in one step, never replacing a
    // file that is there: false when one is.
    static bool WriteNewFile(const CString& targetPath, const void* data, UINT size);
    // Removes temporary files that an interrupted rewrite of the target left
    // behind; returns how many were removed. Failures are not raised.
    static int RemoveLeftovers(const CString& targetPath);
    // Readies a store before it is first read: under the store's lock
    // (CFileLock), removes what an interrupted rewrite left beside it and,
    // when no file is there, creates it with the bytes newContents gives
    // (never replacing a file that appeared meanwhile). A store that is there
    // with nothing left beside it is only to be read, which needs neither the
    // lock nor the right to write in its folder: a user who may only read
    // there (a program folder, a read-only share or medium) can use it.
    static void PrepareStore(const CString& targetPath, const std::function<std::vector<BYTE>()>& newContents);
    // The name prefix shared by the target's temporary files.
    static CString TempPrefix(const CString& targetPath);

private:
    // Flushes and closes the temporary and moves it to the target; false when
    // the move found a file there and was not to replace it.
    bool Finish(DWORD moveFlags);
    // Gives the closed temporary the existing target's attributes and DACL.
    void KeepTargetRights();
    // False when there is no target (a create keeps nothing).
    bool KeepTargetAttributes();
    void KeepTargetDacl();
    void CreateTemp();
    void Discard();

    CString m_strTarget;
    CString m_strTemp;
    CFile m_file;
    bool m_bDone;
};
