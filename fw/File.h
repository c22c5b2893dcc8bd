// CFile: a binary file opened with the framework's mode flags. Every call goes
// through the installed IFileSystem, and every failure is raised as
// CFileException carrying the cause, the Win32 error, the path and the call.
#pragma once

#include <windows.h>

#include <vector>

#include "fw/Api.h"
#include "fw/FileException.h"
#include "fw/String.h"

class SONVERA_API CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
        // Not in the classic set: create the file, failing when it already exists.
        modeCreateNew = 0x00010000,
        // Not in the classic set: others may delete or replace the file while it
        // is open, as the stores' readers allow their rewrites.
        shareAllowDelete = 0x00020000,
        // Not in the classic set: every write lands at the file's end, wherever
        // the position stands and whatever other writers appended meanwhile
        // (append access instead of write access). Combine with modeWrite, or
        // with modeReadWrite to read the file too.
        modeAppend = 0x00040000
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

    CFile();
    // Opens the file; raises CFileException when it cannot.
    CFile(const char* path, UINT openFlags);
    virtual ~CFile();   // closes the file, ignoring errors

    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens the file; on failure returns FALSE and fills *error when given.
    // A sharing or access error (another process in the way) is tried again
    // for a moment first. Opening an object whose file is still open is a
    // bug: std::logic_error.
    virtual BOOL Open(const char* path, UINT openFlags, CFileException* error = nullptr);

    // Reads up to `count` bytes; returns how many were read (less only at the end).
    virtual UINT Read(void* buffer, UINT count);
    // Reads exactly `count` bytes or raises CFileException (endOfFile).
    void ReadExact(void* buffer, UINT count);
    // Writes all `count` bytes or raises CFileException (diskFull when the disk is full).
    virtual void Write(const void* buffer, UINT count);

    virtual ULONGLONG Seek(LONGLONG offset, UINT from);
    void SeekToBegin() { Seek(0, begin); }
    virtual ULONGLONG GetLength() const;
    virtual ULONGLONG GetPosition() const;
    // Cuts or extends the file (extension reads as zeros); the position moves to the new end.
    virtual void SetLength(ULONGLONG newLength);

    virtual void Flush();
    // Closes the file; raises CFileException when the close fails.
    virtual void Close();
    // Closes the file ignoring any error; safe when it is not open.
    virtual void Abort();

    virtual BOOL IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    const CString& GetFilePath() const { return m_strFileName; }

    // 1 when the path names an existing file (folderWanted 0) or folder (nonzero), via the
    // installed file system; 0 when it names the other kind, when nothing is there ("file
    // not found", "path not found", or a name no file can have) and for a null path. Any
    // other failure of the check (a network share that blinks) is no answer: it raises
    // CFileException. The one test behind every exported IsFileExist.
    static BOOL Exists(const char* path, BOOL folderWanted = FALSE);
    // Deletes a file; raises CFileException on failure (after a moment's retry
    // of a sharing or access error).
    static void Remove(const char* path);
    // The whole file, read with writers kept out; raises CFileException, with
    // cause invalidFile for a file longer than maxLength (its caller's largest;
    // checked before anything is allocated).
    static std::vector<BYTE> ReadWhole(const char* path, ULONGLONG maxLength);

protected:
    [[noreturn]] void ThrowLastError(const char* apiName) const;

    HANDLE m_hFile;
    CString m_strFileName;
};
