// Writes 24-bit RGB pictures as PNG files, for screenshots that a person
// looks at. The image data is kept in stored (uncompressed) deflate blocks:
// larger files, but no compressor to carry.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace sonvera_capture
{
namespace png_detail
{
inline uint32_t Crc32(const std::string& bytes, size_t from)
{
    static uint32_t table[256] = {};
    if (table[1] == 0) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    }
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); ++i)
        crc = table[(crc ^ static_cast<uint8_t>(bytes[i])) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

inline void PutBig32(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

inline void PutChunk(std::string& out, const char* type, const std::string& data)
{
    PutBig32(out, static_cast<uint32_t>(data.size()));
    const size_t crcFrom = out.size();
    out += type;
    out += data;
    PutBig32(out, Crc32(out, crcFrom));
}

// A zlib stream of stored deflate blocks.
inline std::string StoredZlib(const std::string& raw)
{
    std::string out("\x78\x01", 2);
    const size_t kBlock = 65535;
    size_t at = 0;
    do {
        const size_t length = raw.size() - at < kBlock ? raw.size() - at : kBlock;
        const bool last = at + length == raw.size();
        out += static_cast<char>(last ? 1 : 0);
        out += static_cast<char>(length & 0xFF);
        out += static_cast<char>(length >> 8);
        out += static_cast<char>(~length & 0xFF);
        out += static_cast<char>((~length >> 8) & 0xFF);
        out.append(raw, at, length);
        at += length;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBig32(out, (b << 16) | a);
    return out;
}
} // namespace png_detail

// `rgb` holds the rows top to bottom, 3 bytes per pixel (red, green, blue).
inline bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb)
{
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3)
        return false;
    std::string header;
    png_detail::PutBig32(header, static_cast<uint32_t>(width));
    png_detail::PutBig32(header, static_cast<uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);   // 8 bits, RGB, deflate, no filter, no interlace
    std::string raw;
    raw.reserve(static_cast<size_t>(width * 3 + 1) * height);
    for (int y = 0; y < height; ++y) {
        raw += '\0';   // filter: none
        raw.append(reinterpret_cast<const char*>(&rgb[static_cast<size_t>(y) * width * 3]), width * 3);
    }
    std::string file("\x89PNG\r\n\x1a\n", 8);
    png_detail::PutChunk(file, "IHDR", header);
    png_detail::PutChunk(file, "IDAT", png_detail::StoredZlib(raw));
    png_detail::PutChunk(file, "IEND", std::string());
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && written;
}
} // namespace sonvera_capture
