#include "fw/ResourceException.h"

CResourceException::CResourceException(const char* apiName, const CString& resourceName, LONG osError)
    : m_strApiName(apiName), m_strResourceName(resourceName), m_lOsError(osError)
{
    CString text;
    text.Format("%s failed for \"%s\" (OS error %ld)", m_strApiName.GetString(), m_strResourceName.GetString(),
                static_cast<long>(m_lOsError));
    m_strWhat = text.str();
}

void CResourceException::ThrowLastError(const char* apiName, const CString& resourceName)
{
    throw CResourceException(apiName, resourceName, static_cast<LONG>(GetLastError()));
}
