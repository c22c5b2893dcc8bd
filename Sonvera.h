// Sonvera.dll: the voice password of the desktop security product.
// Hosts include this header only and link the import library Sonvera.lib.
#pragma once

#include "voice/WaveInDevice.h"
#include "voice/WaveRecorder.h"
