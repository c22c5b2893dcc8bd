// Hex helpers for the cipher tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline std::vector<uint8_t> FromHex(const std::string& hex)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

inline std::string ToHex(const uint8_t* data, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < n; ++i) {
        hex.push_back(digits[data[i] >> 4]);
        hex.push_back(digits[data[i] & 15]);
    }
    return hex;
}

inline std::string ToHex(const std::vector<uint8_t>& bytes)
{
    return ToHex(bytes.data(), bytes.size());
}
