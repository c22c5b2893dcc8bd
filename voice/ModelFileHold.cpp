#include "voice/ModelFileHold.h"

#include <windows.h>

#include "fw/File.h"
#include "fw/FileException.h"
#include "fw/SafeFileWriter.h"
#include "userdata/AppUserVoiceDic.h"
#include "userdata/ModelPutBack.h"

CString CModelFileHold::ModelPath(const CString& strAppPath, const CString& strNick)
{
    return strAppPath + "\\work\\" + strNick + ".bin";
}

CModelFileHold::CModelFileHold(const CString& strAppPath, const CString& strNick, bool bPutBack)
    : m_strPath(ModelPath(strAppPath, strNick)), m_bPutBack(false), m_bFound(false)
{
    if (CAppUserVoiceDic::NickIndex(strNick) < 0)
        return;
    // The engine makes the work folder when it trains the first model; the
    // lock beside the model file needs it first. A folder that cannot be
    // made is reported by the lock.
    CreateDirectoryA(strAppPath + "\\work", nullptr);
    m_pLock.reset(new CFileLock(m_strPath));
    // A holder that died before its put-back left it to the next one.
    model_putback::Recover(m_strPath);
    if (!bPutBack)
        return;
    // Only "not found" means absent: Exists raises on any other failure.
    m_bFound = CFile::Exists(m_strPath) != FALSE;
    if (m_bFound)
        m_found = CFile::ReadWhole(m_strPath, CAppUserVoiceDic::kModelArea);
    // On the disk before anything is fetched, so that a death before the
    // put-back does not leave the fetched model in the file.
    model_putback::Record(m_strPath, m_bFound, m_found);
    m_bPutBack = true;
}

CModelFileHold::~CModelFileHold()
{
    try {
        PutBack();
    } catch (...) {
    }
}

void CModelFileHold::PutBack()
{
    if (!m_bPutBack)
        return;
    m_bPutBack = false;
    if (m_bFound) {
        try {
            CSafeFileWriter::WriteFile(m_strPath, m_found.data(), static_cast<UINT>(m_found.size()));
        } catch (...) {
            // The file still holds the model fetched for this hold, which an
            // enrolment's host would store as its own user's: better none.
            // The record stays, for the next holder to put back.
            RemoveQuietly();
            throw;
        }
    } else if (CFile::Exists(m_strPath)) {
        CFile::Remove(m_strPath);
    }
    // The file is given back. A record that cannot go (another program has
    // it open) stays for the next holder, whose Recover writes back the same
    // contents: it is not worth failing the step the hold was for.
    try {
        model_putback::Clear(m_strPath);
    } catch (const CFileException&) {
    }
}

void CModelFileHold::RemoveQuietly()
{
    try {
        CFile::Remove(m_strPath);
    } catch (...) {
    }
}
