// AnsiFileSystem.h - file names as the dialog passes them, and the few file
// operations the engine needs beyond the C library. The engine's only
// platform-specific code.
//
// The dialog passes its application folder as an ANSI text: Shift-JIS on a
// Japanese system, where the second byte of a double-byte character may be
// 0x5C, the code of '\' ("能" is 0x94 0x5C). A path is therefore walked by
// character, never by byte: on Windows by the ANSI code page's lead bytes,
// elsewhere by Shift-JIS (whose trail bytes never include '/', so a UTF-8
// path walks as it should). A narrow name reaches the file system through
// the ANSI code page, as the C library's fopen sends it.
#pragma once

#include <string>

class CAnsiFileSystem {
public:
#ifdef _WIN32
    static constexpr char kSeparator = '\\';
#else
    static constexpr char kSeparator = '/';
#endif

    // True when the last character of `path` is '\' or '/' (a trail byte
    // that happens to be 0x5C is not).
    static bool EndsWithSeparator(const std::string& path);
    // dir, a separator unless dir is empty or already ends in one, then name.
    static std::string Join(const std::string& dir, const std::string& name);
    // Creates the folder `path`. Returns true when it exists afterwards.
    static bool MakeFolder(const std::string& path);
    // Moves the finished file `from` over `to` in one step, replacing an
    // existing file, so that a reader finds the old file or the new one and
    // never none. Returns true on success; on failure both files stay as
    // they were.
    static bool Replace(const std::string& from, const std::string& to);

private:
    // True when `c` starts a double-byte character followed by `next`.
    static bool IsDoubleByte(unsigned char c, unsigned char next);
};
