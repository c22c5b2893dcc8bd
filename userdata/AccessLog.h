// CAccessLog: result.log, one line per decided verification of the voice
// dialog: when, who, for what purpose, and whether the user was let in.
//
// Line (Shift-JIS, CR LF): "[yy-mm-dd hh:mm:ss] <user ID> : <purpose> : <result>"
//   purpose: "Logon", "Encrypt", "Decrypt", "Setting", any other value "User"
//   result:  "Accept" or "Denied"
//   Control characters in the user ID (a line break would forge a line) are
//   written as '?'.
//
// The file is only ever appended to, with append access (the system puts each
// write at the end) and the whole line in one write, so no write can reach the
// lines already there: a crash mid-write costs at most the line being written.
// Such a torn last line is ended before the next line is appended, so every
// later line stays whole and readable.
#pragma once

#include <windows.h>

#include "fw/Api.h"
#include "fw/String.h"

class SONVERA_API CAccessLog {
public:
    explicit CAccessLog(CString strPath);

    // Appends the line for now (local time). Returns 1 when it was written; 0
    // when the log cannot be opened or written, which the caller ignores: a
    // verdict never depends on its log line.
    int Append(const CString& strUserID, int nPurpose, int bAccepted);
    // The same with a given local time.
    int AppendAt(const SYSTEMTIME& when, const CString& strUserID, int nPurpose, int bAccepted);

    // The line without its line end.
    static CString FormatLine(const SYSTEMTIME& when, const CString& strUserID, int nPurpose, int bAccepted);
    static const char* PurposeWord(int nPurpose);

private:
    CString m_strPath;
};
