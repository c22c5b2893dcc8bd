#include "fw/ArchiveException.h"

namespace {

const char* const kCauseNames[] = {
    "none", "genericException", "readOnly", "endOfFile", "writeOnly", "badIndex", "badClass", "badSchema",
};

} // namespace

CArchiveException::CArchiveException(int cause, const CString& fileName) : m_cause(cause), m_strFileName(fileName)
{
    const char* name = (cause >= none && cause <= badSchema) ? kCauseNames[cause] : "unknown";
    m_strWhat = "archive error: ";
    m_strWhat += name;
    if (!fileName.IsEmpty()) {
        m_strWhat += " in \"";
        m_strWhat += fileName.str();
        m_strWhat += "\"";
    }
}
