// A registry key made for one test and deleted with everything below it.
#pragma once

#include <windows.h>

#include <string>

namespace sonvera_test
{
class CScratchKey
{
public:
    CScratchKey(HKEY root, const char* label) : m_root(root)
    {
        static unsigned int s_sequence = 0;
        m_path = std::string("Software\\SonveraSetupTest\\") + label + "-" +
                 std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++s_sequence);
        HKEY key = NULL;
        RegCreateKeyExA(m_root, m_path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
        RegCloseKey(key);
    }
    ~CScratchKey()
    {
        RegDeleteTreeA(m_root, m_path.c_str());
        RegDeleteKeyA(m_root, m_path.c_str());
        RegDeleteKeyA(m_root, "Software\\SonveraSetupTest");   // only when nothing else is left in it
    }
    CScratchKey(const CScratchKey&) = delete;
    CScratchKey& operator=(const CScratchKey&) = delete;

    const char* Path() const { return m_path.c_str(); }

private:
    HKEY m_root;
    std::string m_path;
};
} // namespace sonvera_test
