// Byte strings for building and checking stored layouts: little-endian words
// and repeatable filler bytes.
#pragma once

#include <initializer_list>
#include <string>

namespace sonvera_test
{
// Bytes from a list of values, for writing expected layouts out in full.
inline std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

// Bytes written out as hexadecimal digits, two to a byte.
inline std::string FromHex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// A 32-bit little-endian word.
inline std::string WordBytes(unsigned long value)
{
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// The word at an offset; 0xFFFFFFFF when the bytes end before it does.
inline unsigned long Word(const std::string& bytes, size_t offset)
{
    if (offset + 4 > bytes.size())
        return 0xFFFFFFFFul;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<unsigned long>(p[3]) << 24);
}

// A length word and the bytes after it: one record of the stores.
inline std::string LengthRecord(const std::string& data)
{
    return WordBytes(static_cast<unsigned long>(data.size())) + data;
}

// Bytes that look like nothing in particular and repeat with no short period
// (a moved or duplicated piece shows), but are the same on every run.
inline std::string PatternBytes(size_t size, unsigned int seed = 12345)
{
    std::string out(size, '\0');
    unsigned int state = seed * 2654435761u + 1u;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        out[i] = static_cast<char>(state >> 24);
    }
    return out;
}
} // namespace sonvera_test
