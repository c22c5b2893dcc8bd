// Sonvera.dll: the voice password of the desktop security product.
// Hosts include this header only and link the import library Sonvera.lib.
#pragma once

// Framework: strings, collections and files as the classes below take them.
#include "fw/String.h"
#include "fw/StringArray.h"
#include "fw/StringList.h"
#include "fw/ByteArray.h"
#include "fw/WordArray.h"
#include "fw/DWordArray.h"
#include "fw/File.h"
#include "fw/FileException.h"
#include "fw/Archive.h"
#include "fw/ArchiveException.h"

// Framework: windows, dialogs, controls and drawing, as the dialogs below use them.
#include "fw/Point.h"
#include "fw/Size.h"
#include "fw/Rect.h"
#include "fw/ResourceException.h"
#include "fw/GdiObject.h"
#include "fw/Bitmap.h"
#include "fw/Rgn.h"
#include "fw/Font.h"
#include "fw/Pen.h"
#include "fw/Brush.h"
#include "fw/DC.h"
#include "fw/PaintDC.h"
#include "fw/ClientDC.h"
#include "fw/WindowDC.h"
#include "fw/MemoryDC.h"
#include "fw/InfoDC.h"
#include "fw/Wnd.h"
#include "fw/Dialog.h"
#include "fw/Button.h"
#include "fw/Edit.h"
#include "fw/ComboBox.h"
#include "fw/ToolTipCtrl.h"

// Settings and system.
#include "Setup/IniFile.h"
#include "Setup/RegistryEx.h"
#include "Setup/SetupSecure.h"
#include "Setup/SetupFile.h"
#include "Setup/SystemInfo.h"
#include "Setup/SystemUser.h"

// User data.
#include "userdata/Crypto.h"
#include "userdata/AppUserDic.h"
#include "userdata/AppUserVoiceDic.h"

// Skin toolkit: the skinned dialog base, the flat controls and the popup menu.
#include "skin/SkinDlg.h"
#include "skin/SkinEdit.h"
#include "skin/SkinCombo.h"
#include "skin/StaticToolTip.h"
#include "skin/FlatPopupMenu.h"

// Voice enrolment and verification.
#include "voice/WaveInDevice.h"
#include "voice/WaveRecorder.h"
#include "voice/MixerDevice.h"
#include "voice/MixerControlStruct.h"
#include "voice/VoiceDlg.h"
