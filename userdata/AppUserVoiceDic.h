// CAppUserVoiceDic - the voice dictionary "marzetuvd.dat": one fixed slot of
// 125000 bytes per user holding up to six voice models, one per nick, and the
// moves of a model between its slot block and the engine's work file
// (work folder + nick + ".bin").
//
// Slot layout (no file header; slot k starts at k * 125000; integers u32 LE):
//   0        in-use word: 1 the slot belongs to a user, 0 blank
//   4        L1, then at 8 the user ID's cipher text (at most 176 bytes)
//   184      L2, then at 188 the certi key's cipher text (at most 240 bytes)
//   428 + 20659 * m   N, then the bytes of model m (at most 20655 bytes),
//                     m = 0..5 for "aaj", "abj", "acj", "adj", "aej", "afj"
//   124382   618 bytes not used
//
// The file is updated in place, as its fixed layout requires, and every
// change is all or nothing: the bytes it overwrites are saved in a rollback
// journal beside the file first (CRollbackJournal), and a change cut off by a
// failure or a crash is undone, at once or the next time the dictionary is
// touched. Every operation holds the dictionary's lock across processes
// (CFileLock) from its first read to its last write, so two hosts never take
// the same slot or write over each other's change.
//
// Damaged files: the slot count is the file length divided by 125000, rounded
// down; bytes behind the last whole slot are not read. Any in-use word but 0
// marks a slot in use (it can match a user and is never reused as blank); a
// slot whose ID or certi key length does not fit its area, or whose text does
// not decrypt, never matches (not even an empty ID or key). A
// model length larger than its block reads as no model. No operation reads or
// writes outside the slot it works on.
//
// Refusals (the operations have no result; the caller sees no exception and
// the file is left byte for byte as it was):
//   - AddUser when the cipher text of the ID exceeds 176 bytes or that of the
//     certi key 240 bytes, or when either is empty (an empty text matches
//     nothing): no slot is taken, so FindIDPos keeps giving -1;
//   - SetUserVoice when the model file is larger than 20655 bytes: the block
//     keeps its previous model;
//   - SetUserVoice, GetUserVoice and DelUserVoice with a nick other than the
//     six: no block is touched and no model file is made.
// GetUserVoice replaces the model file whole (temporary file, flushed, moved
// into place), removing first what an interrupted replace left beside it. On a block whose length does not fit it makes an empty model
// file, so that no earlier model left in the work folder is verified against.
// File errors (a missing dictionary or model file, an unwritable work folder)
// reach the caller as CFileException.
#pragma once

#include "fw/Api.h"
#include "fw/File.h"
#include "fw/String.h"

class SONVERA_API CAppUserVoiceDic {
public:
    static const unsigned long kSlotSize = 125000;
    static const unsigned long kInUseOffset = 0;
    static const unsigned long kIdLengthOffset = 4;
    static const unsigned long kIdOffset = 8;
    static const unsigned long kIdArea = 176;
    static const unsigned long kKeyLengthOffset = 184;
    static const unsigned long kKeyOffset = 188;
    static const unsigned long kKeyArea = 240;
    static const unsigned long kModelBase = 428;
    static const unsigned long kModelStride = 20659;
    static const unsigned long kModelArea = 20655;
    static const int kModelCount = 6;

    CAppUserVoiceDic();
    CAppUserVoiceDic(const CAppUserVoiceDic& other);
    CAppUserVoiceDic& operator=(const CAppUserVoiceDic& other);
    virtual ~CAppUserVoiceDic();

    void SetVoiceDicPath(CString strAppFolder);
    void SetBackupVoiceDicPath(CString strDicFile, CString strWorkDir);
    void CreateVoiceDic(CString strPath);

    // On a file the caller has opened for reading (and writing, for AddSlot).
    int AddSlot(CFile& file);
    int FindBlankSlot(CFile& file);
    int FindIDPos(CString strUserID, CString strCertiKey, CFile& file);
    // An unsigned long holds offsets below 4 GiB only: from slot 34359 on the
    // result wraps. The model moves therefore go by BlockStart, never by this.
    unsigned long GetNickPos(CString strNick, int nSlot);

    void AddUser(CString strUserID, CString strCertiKey);
    void DelUser(CString strUserID, CString strCertiKey);
    // The model moves hold the model file's lock (CFileLock on the model
    // file's path) before the dictionary's, as the voice dialog holds it
    // while the file has its user's model in it for a take: a model moved in
    // or out then would be that user's. A move that finds no work folder has
    // no lock to take and touches no model file (a file error, as for the
    // missing folder), but for a host's store of the model its enrolment
    // kept, which needs no file. The Held forms are for a caller that holds
    // that lock itself across more steps.
    void SetUserVoice(CString strUserID, CString strCertiKey, CString strNick);
    void GetUserVoice(CString strUserID, CString strCertiKey, CString strNick);
    void SetUserVoiceHeld(CString strUserID, CString strCertiKey, CString strNick);
    void GetUserVoiceHeld(CString strUserID, CString strCertiKey, CString strNick);
    void DelUserVoice(CString strUserID, CString strCertiKey, CString strNick);

    static int IsFileExist(const char* pszPath, int bFolder);

    // Model block number of a nick (0..5), or -1 for any other text.
    static int NickIndex(const CString& strNick);

private:
    static int SlotCount(CFile& file);
    // File offset of model block nModel (0..5) of a slot, wide enough for any slot.
    static ULONGLONG BlockStart(int nSlot, int nModel);
    static unsigned long ReadWord(CFile& file, ULONGLONG nOffset);
    static void WriteWord(CFile& file, ULONGLONG nOffset, unsigned long nValue);
    CString ModelPath(const CString& strNick) const;
    // The model moves; bNoWorkFolder: the move found no work folder, so holds
    // no model file lock and must not touch the file (it fails as there, or
    // stores the kept model).
    // bHostStore: a host's SetUserVoice, which stores the model this process's
    // enrolment of the user trained when one is kept (TrainedModels.h).
    // bHostFetch: a host's GetUserVoice, after which its store is of the
    // model it fetched, so the kept one goes.
    void StoreModel(const CString& strUserID, const CString& strCertiKey, const CString& strNick, bool bNoWorkFolder,
                    bool bHostStore);
    void FetchModel(const CString& strUserID, const CString& strCertiKey, const CString& strNick, bool bNoWorkFolder,
                    bool bHostFetch);

    CString m_strWorkDir;
    CString m_strDicFile;
};
