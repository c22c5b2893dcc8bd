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

// Voice enrolment and verification.
#include "voice/WaveInDevice.h"
#include "voice/WaveRecorder.h"
