// The module that holds the library's code: Sonvera.dll itself, or the test
// program that links the code statically. Resources are always loaded from
// it, never from the host program.
#pragma once

#include <windows.h>

#include "fw/Api.h"

SONVERA_API HMODULE GetSonveraModule();
