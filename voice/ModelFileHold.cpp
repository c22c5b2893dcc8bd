#include "voice/ModelFileHold.h"

#include "userdata/AppUserVoiceDic.h"

CModelFileHold::CModelFileHold(const CString& strAppPath, const CString& strNick)
    : m_strPath(strAppPath + "\\work\\" + strNick + ".bin")
{
    if (CAppUserVoiceDic::NickIndex(strNick) >= 0)
        m_pLock.reset(new CFileLock(m_strPath));
}
