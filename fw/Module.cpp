#include "fw/Module.h"

HMODULE GetSonveraModule()
{
    // The address of this very function lies inside the module we want; no
    // reference is taken, since the module cannot unload while its code runs.
    static HMODULE cached = nullptr;
    if (cached == nullptr) {
        HMODULE module = nullptr;
        if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               reinterpret_cast<LPCWSTR>(&GetSonveraModule), &module))
            cached = module;
    }
    return cached;
}
