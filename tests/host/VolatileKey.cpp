// Makes HKEY_LOCAL_MACHINE\<key> anew as a volatile key: the registry then
// refuses every lasting key below it, so that a program's write there fails
// as it does for a user without the rights to write HKEY_LOCAL_MACHINE.
// With --remove it removes the key again. It sees the registry as the
// programs built beside it do (a 32-bit one through WOW64's view).
// Usage: VolatileKey.exe [--remove] KEY   (exit status 0 when done)
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const bool remove = argc == 3 && std::strcmp(argv[1], "--remove") == 0;
    if (argc != 2 && !remove) {
        std::fprintf(stderr, "usage: VolatileKey [--remove] KEY\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, path);
    const LONG removed = RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
    if (remove)
        return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND ? 0 : 1;
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                        nullptr, &key, &disposition);
    if (status != ERROR_SUCCESS || disposition != REG_CREATED_NEW_KEY) {
        std::fprintf(stderr, "VolatileKey: %s not made (status %ld)\n", path, status);
        return 1;
    }
    RegCloseKey(key);
    return 0;
}
