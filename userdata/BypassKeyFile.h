// CBypassKeyFile: the bypass key file "marzet.key" in the root of a removable
// or CD-ROM drive, which lets a user pass the voice dialog without speaking
// when it holds exactly the stored bypass key. The drive list and the key
// path follow the lines of the dialog's drive choice ("(E:) Removable Drive").
#pragma once

#include <windows.h>

#include <functional>

#include "fw/Api.h"
#include "fw/String.h"
#include "fw/StringArray.h"

class SONVERA_API CBypassKeyFile {
public:
    // The drive type of a root such as "E:\" (GetDriveTypeA); tests put
    // another in its place to list drives a machine does not have.
    typedef UINT (*PFN_DRIVE_TYPE)(const char* pszRoot);

    // Empties the list, then adds one line per removable drive ("(E:)
    // Removable Drive") and CD-ROM drive ("(E:) CD-ROM Drive"), A to Z.
    static void ListKeyDrives(CStringArray& arrLines, PFN_DRIVE_TYPE pfnDriveType = nullptr);

    // The key file's path on the drive of a line: the character before the
    // line's first ':' and the ':', then "\marzet.key". 0 (path emptied) when
    // the line has no ':' or begins with it.
    static int KeyPathFromLine(const CString& strLine, CString& strPath);

    enum KeyCheck { keyMatches, keyMissing, keyDiffers };
    // Whether the whole file equals the stored key byte for byte (a line end
    // after the key makes it differ). keyMissing when the file cannot be
    // read, also on a drive without its medium, which says so without the
    // system's "insert a disk" box. The stored key is read (storedKey) only
    // once the file is open: a drive without the file is told so even when
    // the key cannot be read; its reader's errors reach the caller. An empty
    // stored key means no key has been made, and matches nothing.
    static KeyCheck CheckKeyFile(const CString& strPath, const std::function<CString()>& storedKey);
};
