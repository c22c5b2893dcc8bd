#include "userdata/AccessLog.h"

#include <string>

#include "fw/File.h"
#include "fw/FileException.h"

namespace {

const char* const kPurposeWords[] = {"Logon", "Encrypt", "Decrypt", "Setting"};
const char kOtherPurposeWord[] = "User";
const char kLineEnd[] = "\r\n";

// True when the file is empty or its last byte ends a line.
bool EndsWithLineEnd(CFile& file)
{
    const ULONGLONG length = file.GetLength();
    if (length == 0)
        return true;
    file.Seek(static_cast<LONGLONG>(length) - 1, CFile::begin);
    char last = 0;
    return file.Read(&last, 1) == 1 && last == '\n';
}

// The user ID as one field of one line. It is the text of the dialog's ID
// edit, which another program can fill with anything: a line break in it
// would let a forged line stand in the log as if written by the system. Such
// control characters are written as '?'. No byte of a double-byte character
// lies below 0x20, so Shift-JIS text passes unchanged.
CString OneLineField(const CString& text)
{
    std::string field = text.str();
    for (char& c : field) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    }
    return CString(field);
}

}  // namespace

CAccessLog::CAccessLog(CString strPath) : m_strPath(strPath) {}

int CAccessLog::Append(const CString& strUserID, int nPurpose, int bAccepted)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return AppendAt(now, strUserID, nPurpose, bAccepted);
}

int CAccessLog::AppendAt(const SYSTEMTIME& when, const CString& strUserID, int nPurpose, int bAccepted)
{
    CFile file;
    const UINT flags = CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite | CFile::modeAppend |
                       CFile::shareDenyNone | CFile::typeBinary;
    if (!file.Open(m_strPath, flags))
        return 0;
    try {
        // A line torn by a crash is ended first, so that the new one stands on its own.
        CString text = EndsWithLineEnd(file) ? CString() : CString(kLineEnd);
        text += FormatLine(when, strUserID, nPurpose, bAccepted) + kLineEnd;
        file.Write(text.GetString(), static_cast<UINT>(text.GetLength()));
        file.Close();
    } catch (const CFileException&) {
        return 0;
    }
    return 1;
}

CString CAccessLog::FormatLine(const SYSTEMTIME& when, const CString& strUserID, int nPurpose, int bAccepted)
{
    CString line;
    line.Format("[%02u-%02u-%02u %02u:%02u:%02u] %s : %s : %s", when.wYear % 100u, when.wMonth, when.wDay,
                when.wHour, when.wMinute, when.wSecond, OneLineField(strUserID).GetString(), PurposeWord(nPurpose),
                bAccepted ? "Accept" : "Denied");
    return line;
}

const char* CAccessLog::PurposeWord(int nPurpose)
{
    if (nPurpose >= 0 && nPurpose < static_cast<int>(sizeof kPurposeWords / sizeof kPurposeWords[0]))
        return kPurposeWords[nPurpose];
    return kOtherPurposeWord;
}
