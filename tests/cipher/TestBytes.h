// Bytes for the cipher tests, held in strings: from hex, a pattern that does
// not repeat, and whole files in a scratch folder of their own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

inline std::string FromHex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Bytes without a short period, so that a moved or repeated piece shows.
inline std::string Pattern(size_t n)
{
    uint32_t seed = 12345;
    std::string bytes(n, '\0');
    for (char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<char>(seed >> 24);
    }
    return bytes;
}

class ScratchFolder {
public:
    // Always a new, empty folder: one that a crashed run of a process with the
    // same ID left behind is passed over.
    ScratchFolder()
    {
        static int counter;
        char base[MAX_PATH] = {};
        GetTempPathA(sizeof base, base);
        do {
            path_ = std::string(base) + "zivazo-test-" + std::to_string(GetCurrentProcessId()) +
                    "-" + std::to_string(++counter);
        } while (!CreateDirectoryA(path_.c_str(), nullptr) &&
                 GetLastError() == ERROR_ALREADY_EXISTS);
    }
    ~ScratchFolder()
    {
        for (const std::string& name : Files()) DeleteFileA(Path(name).c_str());
        RemoveDirectoryA(path_.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path(const std::string& name) const { return path_ + "\\" + name; }

    // The file's bytes, or "<missing>".
    std::string Read(const std::string& name) const
    {
        std::ifstream in(Path(name), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return in.is_open() ? bytes.str() : "<missing>";
    }

    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }

    // The names of everything in the folder, sorted, each followed by a space.
    std::string Names() const
    {
        std::string names;
        for (const std::string& name : Files()) names += name + " ";
        return names;
    }

private:
    std::set<std::string> Files() const
    {
        std::set<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != "..") names.insert(name);
        } while (FindNextFileA(find, &found));
        FindClose(find);
        return names;
    }

    std::string path_;
};
