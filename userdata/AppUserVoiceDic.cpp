#include "userdata/AppUserVoiceDic.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "fw/FileException.h"
#include "fw/FileLock.h"
#include "fw/RecordReader.h"
#include "fw/RecordWriter.h"
#include "fw/RollbackJournal.h"
#include "fw/SafeFileWriter.h"
#include "userdata/Crypto.h"
#include "userdata/ModelPutBack.h"
#include "userdata/TrainedModels.h"

namespace {

// The nicks in the order of their model blocks.
const char* const kNicks[CAppUserVoiceDic::kModelCount] = {"aaj", "abj", "acj", "adj", "aej", "afj"};
// The model file is read in pieces of this size.
const UINT kCopyPiece = 4096;

const UINT kDicReadFlags = CFile::modeRead | CFile::typeBinary | CFile::shareDenyWrite;
const UINT kDicUpdateFlags = CFile::modeReadWrite | CFile::typeBinary | CFile::shareDenyWrite;

unsigned long LittleEndian32(const unsigned char* p)
{
    return static_cast<unsigned long>(p[0]) | (static_cast<unsigned long>(p[1]) << 8) |
           (static_cast<unsigned long>(p[2]) << 16) | (static_cast<unsigned long>(p[3]) << 24);
}

void PutLittleEndian32(unsigned char* p, unsigned long value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
}

// The text of a slot's length-prefixed area, or false when its length does
// not fit the area.
bool AreaText(const unsigned char* head, unsigned long lengthOffset, unsigned long area, CString& text)
{
    CRecordReader reader(head + lengthOffset, CRecordReader::kLengthSize + area, CString());
    return reader.TryNext(text);
}

// Every change of the dictionary is made in place, all or nothing. It is
// made, and on the disk, once the journal is gone: the file is left to its
// destructor to close, since a close reported as failed afterwards says
// nothing about a change that is already there.
void WriteAt(CFile& file, ULONGLONG offset, const void* data, size_t size)
{
    CRollbackJournal::Write(file, offset, data, size);
}

// Holds the dictionary for one operation against every other host, and first
// puts back what a change cut off by a crash left half done.
class CDictionaryHold {
public:
    explicit CDictionaryHold(const CString& path) : m_lock(path) { CRollbackJournal::Recover(path); }

private:
    CFileLock m_lock;
};

ULONGLONG SlotStart(int nSlot) { return static_cast<ULONGLONG>(nSlot) * CAppUserVoiceDic::kSlotSize; }

// The model file's lock, for a nick with a block. A work folder that is not
// there holds no model, nor any dialog's lock, and is not made here (a move
// into a missing folder is the caller's file error); but a dialog may make
// it and hold the file the moment after, so a move that found none
// (bNoWorkFolder) must not touch the model file at all.
std::unique_ptr<CFileLock> HoldModelFile(const CString& strWorkDir, const CString& strModelPath, const CString& strNick,
                                         bool& bNoWorkFolder)
{
    bNoWorkFolder = false;
    if (CAppUserVoiceDic::NickIndex(strNick) < 0 || strWorkDir.IsEmpty())
        return nullptr;
    if (!CFile::Exists(strWorkDir, TRUE)) {
        bNoWorkFolder = true;
        return nullptr;
    }
    std::unique_ptr<CFileLock> lock(new CFileLock(strModelPath));
    // A dialog that died between a fetch and its put-back left the fetched
    // model there: a host's store would take it for its own user's.
    model_putback::Recover(strModelPath);
    return lock;
}

// What the move would have met in a work folder that is not there.
[[noreturn]] void ThrowNoWorkFolder(const CString& strModelPath, const char* pszMove)
{
    CFileException::ThrowOsError(ERROR_PATH_NOT_FOUND, strModelPath, pszMove);
}

} // namespace

CAppUserVoiceDic::CAppUserVoiceDic() {}

CAppUserVoiceDic::CAppUserVoiceDic(const CAppUserVoiceDic& other)
    : m_strWorkDir(other.m_strWorkDir), m_strDicFile(other.m_strDicFile)
{
}

CAppUserVoiceDic& CAppUserVoiceDic::operator=(const CAppUserVoiceDic& other)
{
    m_strWorkDir = other.m_strWorkDir;
    m_strDicFile = other.m_strDicFile;
    return *this;
}

CAppUserVoiceDic::~CAppUserVoiceDic() {}

int CAppUserVoiceDic::IsFileExist(const char* pszPath, int bFolder)
{
    return CFile::Exists(pszPath, bFolder);
}

// ---------------------------------------------------------------------------
// Paths

void CAppUserVoiceDic::SetVoiceDicPath(CString strAppFolder)
{
    m_strDicFile = strAppFolder + "\\marzetuvd.dat";
    m_strWorkDir = strAppFolder + "\\work\\";
    CDictionaryHold hold(m_strDicFile);
    // Only "not found" means absent (IsFileExist raises on any other failure),
    // and a file that appeared since the check is kept.
    if (!IsFileExist(m_strDicFile, 0))
        CSafeFileWriter::WriteNewFile(m_strDicFile, nullptr, 0);
}

void CAppUserVoiceDic::SetBackupVoiceDicPath(CString strDicFile, CString strWorkDir)
{
    m_strDicFile = strDicFile;
    m_strWorkDir = strWorkDir;
}

void CAppUserVoiceDic::CreateVoiceDic(CString strPath)
{
    CFileLock lock(strPath);
    // A journal left for the old file must not be applied to the new one.
    CRollbackJournal::Recover(strPath);
    CSafeFileWriter::WriteFile(strPath, nullptr, 0);
}

CString CAppUserVoiceDic::ModelPath(const CString& strNick) const { return m_strWorkDir + strNick + ".bin"; }

// ---------------------------------------------------------------------------
// Slots

int CAppUserVoiceDic::SlotCount(CFile& file) { return static_cast<int>(file.GetLength() / kSlotSize); }

unsigned long CAppUserVoiceDic::ReadWord(CFile& file, ULONGLONG nOffset)
{
    unsigned char bytes[4];
    file.Seek(static_cast<LONGLONG>(nOffset), CFile::begin);
    file.ReadExact(bytes, 4);
    return LittleEndian32(bytes);
}

void CAppUserVoiceDic::WriteWord(CFile& file, ULONGLONG nOffset, unsigned long nValue)
{
    unsigned char bytes[4];
    PutLittleEndian32(bytes, nValue);
    WriteAt(file, nOffset, bytes, 4);
}

int CAppUserVoiceDic::AddSlot(CFile& file)
{
    // The new slot starts behind the last whole one. Writing its zeros over a
    // partial slot left at the end keeps every slot at a multiple of the slot
    // size and makes the new slot all zero.
    const int slot = SlotCount(file);
    const std::vector<unsigned char> zeros(kSlotSize, 0);
    WriteAt(file, SlotStart(slot), zeros.data(), zeros.size());
    return slot;
}

int CAppUserVoiceDic::FindBlankSlot(CFile& file)
{
    const int slots = SlotCount(file);
    for (int k = 0; k < slots; ++k)
        if (ReadWord(file, SlotStart(k) + kInUseOffset) == 0)
            return k;
    return -1;
}

int CAppUserVoiceDic::FindIDPos(CString strUserID, CString strCertiKey, CFile& file)
{
    CCrypto crypto;
    const CString passPhrase = CCrypto::GetProcessKey();
    const int slots = SlotCount(file);
    unsigned char head[kModelBase];
    for (int k = 0; k < slots; ++k) {
        // The slot's head holds both texts; one read takes it whole.
        file.Seek(static_cast<LONGLONG>(SlotStart(k)), CFile::begin);
        file.ReadExact(head, kModelBase);
        // Any word but 0 marks a slot in use: a damaged word (only 1 is ever
        // written) must not cost the user the models the slot still holds.
        // Everything read below is bounded by the slot's areas.
        if (LittleEndian32(head + kInUseOffset) == 0)
            continue;
        // A text that does not decrypt comes back empty and matches nothing,
        // not even an empty ID or key (the key of a user the user dictionary
        // no longer has): a damaged slot is never taken for anyone's.
        CString id;
        if (!AreaText(head, kIdLengthOffset, kIdArea, id))
            continue;
        const CString slotId = crypto.DecryptString(id, passPhrase);
        if (slotId.IsEmpty() || slotId.CompareNoCase(strUserID) != 0)
            continue;
        // The first slot with the ID decides; a later one with the same ID is not looked at.
        CString key;
        if (!AreaText(head, kKeyLengthOffset, kKeyArea, key))
            return -1;
        const CString slotKey = crypto.DecryptString(key, passPhrase);
        return !slotKey.IsEmpty() && slotKey.CompareNoCase(strCertiKey) == 0 ? k : -1;
    }
    return -1;
}

int CAppUserVoiceDic::NickIndex(const CString& strNick)
{
    for (int m = 0; m < kModelCount; ++m)
        if (strNick.CompareNoCase(kNicks[m]) == 0)
            return m;
    return -1;
}

unsigned long CAppUserVoiceDic::GetNickPos(CString strNick, int nSlot)
{
    const int m = NickIndex(strNick);
    if (m < 0)
        return 0;
    return static_cast<unsigned long>(BlockStart(nSlot, m));
}

ULONGLONG CAppUserVoiceDic::BlockStart(int nSlot, int nModel)
{
    return SlotStart(nSlot) + kModelBase + kModelStride * static_cast<unsigned long>(nModel);
}

// ---------------------------------------------------------------------------
// Users

void CAppUserVoiceDic::AddUser(CString strUserID, CString strCertiKey)
{
    CDictionaryHold hold(m_strDicFile);
    CFile file(m_strDicFile, kDicUpdateFlags);
    // An empty ID or key could never be found again: no slot is taken for it.
    if (strUserID.IsEmpty() || strCertiKey.IsEmpty())
        return;
    CCrypto crypto;
    const CString passPhrase = CCrypto::GetProcessKey();
    const CString id = crypto.EncryptString(strUserID, passPhrase);
    const CString key = crypto.EncryptString(strCertiKey, passPhrase);
    // No cipher text (the library failed) would be found as little as an empty text.
    if (id.IsEmpty() || key.IsEmpty() || static_cast<unsigned long>(id.GetLength()) > kIdArea ||
        static_cast<unsigned long>(key.GetLength()) > kKeyArea)
        return;

    // The user's slot changes in one step: a reused blank slot gets its new
    // head (the bytes of the areas behind the new texts stay as they were),
    // a new slot is added whole, zeros and head; cut off midway, either is
    // as it was before.
    int slot = SlotCount(file) == 0 ? -1 : FindBlankSlot(file);
    std::vector<unsigned char> bytes;
    if (slot < 0) {
        slot = SlotCount(file);
        bytes.assign(kSlotSize, 0);
    } else {
        bytes.resize(kModelBase);
        file.Seek(static_cast<LONGLONG>(SlotStart(slot)), CFile::begin);
        file.ReadExact(bytes.data(), kModelBase);
    }
    CRecordWriter idArea;
    idArea.Append(id);
    CRecordWriter keyArea;
    keyArea.Append(key);
    std::memcpy(bytes.data() + kIdLengthOffset, idArea.Bytes().data(), idArea.Size());
    std::memcpy(bytes.data() + kKeyLengthOffset, keyArea.Bytes().data(), keyArea.Size());
    PutLittleEndian32(bytes.data() + kInUseOffset, 1);
    WriteAt(file, SlotStart(slot), bytes.data(), bytes.size());
}

void CAppUserVoiceDic::DelUser(CString strUserID, CString strCertiKey)
{
    CDictionaryHold hold(m_strDicFile);
    CFile file(m_strDicFile, kDicUpdateFlags);
    const int slot = FindIDPos(strUserID, strCertiKey, file);
    if (slot >= 0)
        WriteWord(file, SlotStart(slot) + kInUseOffset, 0);
}

// ---------------------------------------------------------------------------
// Models

void CAppUserVoiceDic::SetUserVoice(CString strUserID, CString strCertiKey, CString strNick)
{
    bool bNoWorkFolder = false;
    const std::unique_ptr<CFileLock> modelLock = HoldModelFile(m_strWorkDir, ModelPath(strNick), strNick, bNoWorkFolder);
    StoreModel(strUserID, strCertiKey, strNick, bNoWorkFolder, true);
}

void CAppUserVoiceDic::SetUserVoiceHeld(CString strUserID, CString strCertiKey, CString strNick)
{
    StoreModel(strUserID, strCertiKey, strNick, false, false);
}

void CAppUserVoiceDic::StoreModel(const CString& strUserID, const CString& strCertiKey, const CString& strNick,
                                  bool bNoWorkFolder, bool bHostStore)
{
    CDictionaryHold hold(m_strDicFile);
    CFile dic(m_strDicFile, kDicUpdateFlags);
    const int slot = FindIDPos(strUserID, strCertiKey, dic);
    if (slot < 0 || NickIndex(strNick) < 0)
        return;

    // A host storing what its enrolment trained stores the copy the dialog
    // kept: the file may hold another enrolment's model by now. That copy
    // needs no model file, so neither does it need the work folder.
    std::vector<BYTE> kept;
    const bool bKept = bHostStore && trained_models::Find(ModelPath(strNick), strUserID, kept);
    if (bNoWorkFolder && !bKept)
        ThrowNoWorkFolder(ModelPath(strNick), "SetUserVoice");
    // The model is read whole before the block is touched, so a model too
    // large for the block is refused with the block unchanged. One byte more
    // than the block holds is asked for to see that.
    std::vector<char> bytes(kModelArea + 1);
    size_t length = 0;
    if (bKept) {
        length = std::min(kept.size(), bytes.size());
        if (length > 0)
            std::memcpy(bytes.data(), kept.data(), length);
    } else {
        CFile model(ModelPath(strNick), CFile::modeRead | CFile::typeBinary | CFile::shareDenyWrite);
        while (length < bytes.size()) {
            const size_t room = bytes.size() - length;
            const UINT got = model.Read(bytes.data() + length, room < kCopyPiece ? static_cast<UINT>(room) : kCopyPiece);
            if (got == 0)
                break;
            length += got;
        }
        model.Close();
    }
    if (length > kModelArea)
        return;

    CRecordWriter block;
    block.Append(CString(bytes.data(), static_cast<int>(length)));
    WriteAt(dic, BlockStart(slot, NickIndex(strNick)), block.Bytes().data(), block.Size());
    if (bKept)
        trained_models::Forget(ModelPath(strNick), strUserID);
}

void CAppUserVoiceDic::GetUserVoice(CString strUserID, CString strCertiKey, CString strNick)
{
    bool bNoWorkFolder = false;
    const std::unique_ptr<CFileLock> modelLock = HoldModelFile(m_strWorkDir, ModelPath(strNick), strNick, bNoWorkFolder);
    FetchModel(strUserID, strCertiKey, strNick, bNoWorkFolder, true);
}

void CAppUserVoiceDic::GetUserVoiceHeld(CString strUserID, CString strCertiKey, CString strNick)
{
    FetchModel(strUserID, strCertiKey, strNick, false, false);
}

void CAppUserVoiceDic::FetchModel(const CString& strUserID, const CString& strCertiKey, const CString& strNick,
                                  bool bNoWorkFolder, bool bHostFetch)
{
    CDictionaryHold hold(m_strDicFile);
    CFile dic(m_strDicFile, kDicReadFlags);
    const int slot = FindIDPos(strUserID, strCertiKey, dic);
    if (slot < 0 || NickIndex(strNick) < 0)
        return;

    std::vector<unsigned char> block(CRecordReader::kLengthSize + kModelArea);
    dic.Seek(static_cast<LONGLONG>(BlockStart(slot, NickIndex(strNick))), CFile::begin);
    dic.ReadExact(block.data(), static_cast<UINT>(block.size()));
    dic.Close();
    // A length the block cannot hold is damage: it reads as no model.
    CString model;
    CRecordReader(block.data(), block.size(), m_strDicFile).TryNext(model);
    if (bNoWorkFolder)
        ThrowNoWorkFolder(ModelPath(strNick), "GetUserVoice");
    // A model written before a crash may have left its temporary file.
    CSafeFileWriter::RemoveLeftovers(ModelPath(strNick));
    CSafeFileWriter::WriteFile(ModelPath(strNick), model.GetString(), static_cast<UINT>(model.GetLength()));
    // The host has put the user's stored model in the file itself: a store
    // after this is of that, not of a trained model the host left unstored.
    if (bHostFetch)
        trained_models::Forget(ModelPath(strNick), strUserID);
}

void CAppUserVoiceDic::DelUserVoice(CString strUserID, CString strCertiKey, CString strNick)
{
    CDictionaryHold hold(m_strDicFile);
    CFile dic(m_strDicFile, kDicUpdateFlags);
    const int slot = FindIDPos(strUserID, strCertiKey, dic);
    if (slot >= 0 && NickIndex(strNick) >= 0)
        WriteWord(dic, BlockStart(slot, NickIndex(strNick)), 0);
}
