#include "Base64.h"

static const char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

/* Value of one alphabet character, or -1 for any other byte. */
static int DecodeChar(unsigned char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

size_t zv_base64_encoded_length(size_t n)
{
    const size_t groups = n / 3 + (n % 3 != 0);
    if (groups > ((size_t)-1) / 4) return 0;
    return groups * 4;
}

size_t zv_base64_decoded_capacity(size_t textLength)
{
    return textLength / 4 * 3;
}

size_t zv_base64_encode(const uint8_t *data, size_t n, char *out, size_t outCapacity)
{
    const size_t length = zv_base64_encoded_length(n);
    size_t i = 0, o = 0;
    if (out == NULL || outCapacity == 0) return 0;
    out[0] = '\0';
    if (n == 0) return 0;
    if (length == 0 || length >= outCapacity || data == NULL) return 0;

    for (; i + 3 <= n; i += 3) {
        const uint32_t v = ((uint32_t)data[i] << 16) | ((uint32_t)data[i + 1] << 8) | data[i + 2];
        out[o++] = kAlphabet[(v >> 18) & 63];
        out[o++] = kAlphabet[(v >> 12) & 63];
        out[o++] = kAlphabet[(v >> 6) & 63];
        out[o++] = kAlphabet[v & 63];
    }
    if (n - i == 1) {
        const uint32_t v = (uint32_t)data[i] << 16;
        out[o++] = kAlphabet[(v >> 18) & 63];
        out[o++] = kAlphabet[(v >> 12) & 63];
        out[o++] = '=';
        out[o++] = '=';
    } else if (n - i == 2) {
        const uint32_t v = ((uint32_t)data[i] << 16) | ((uint32_t)data[i + 1] << 8);
        out[o++] = kAlphabet[(v >> 18) & 63];
        out[o++] = kAlphabet[(v >> 12) & 63];
        out[o++] = kAlphabet[(v >> 6) & 63];
        out[o++] = '=';
    }
    out[o] = '\0';
    return o;
}

/* Decodes the final group of four characters, which may carry padding.
 * Returns the number of bytes (1 to 3) or 0 when the group is not canonical. */
static size_t DecodeLastGroup(const char *g, uint8_t bytes[3])
{
    const int a = DecodeChar((unsigned char)g[0]);
    const int b = DecodeChar((unsigned char)g[1]);
    if (a < 0 || b < 0) return 0;
    if (g[2] == '=') {
        if (g[3] != '=' || (b & 0x0F) != 0) return 0;
        bytes[0] = (uint8_t)((a << 2) | (b >> 4));
        return 1;
    }
    {
        const int c = DecodeChar((unsigned char)g[2]);
        if (c < 0) return 0;
        if (g[3] == '=') {
            if ((c & 0x03) != 0) return 0;
            bytes[0] = (uint8_t)((a << 2) | (b >> 4));
            bytes[1] = (uint8_t)(((b & 0x0F) << 4) | (c >> 2));
            return 2;
        }
        {
            const int d = DecodeChar((unsigned char)g[3]);
            if (d < 0) return 0;
            bytes[0] = (uint8_t)((a << 2) | (b >> 4));
            bytes[1] = (uint8_t)(((b & 0x0F) << 4) | (c >> 2));
            bytes[2] = (uint8_t)(((c & 0x03) << 6) | d);
            return 3;
        }
    }
}

int zv_base64_decode(const char *text, size_t textLength, uint8_t *out, size_t outCapacity,
                     size_t *outLength)
{
    size_t i = 0, o = 0;
    if (outLength == NULL) return 0;
    *outLength = 0;
    if (textLength == 0) return 1;
    if (text == NULL || out == NULL || textLength % 4 != 0) return 0;

    for (; i + 4 < textLength; i += 4) {
        const int a = DecodeChar((unsigned char)text[i]);
        const int b = DecodeChar((unsigned char)text[i + 1]);
        const int c = DecodeChar((unsigned char)text[i + 2]);
        const int d = DecodeChar((unsigned char)text[i + 3]);
        if (a < 0 || b < 0 || c < 0 || d < 0 || o + 3 > outCapacity) return 0;
        out[o++] = (uint8_t)((a << 2) | (b >> 4));
        out[o++] = (uint8_t)(((b & 0x0F) << 4) | (c >> 2));
        out[o++] = (uint8_t)(((c & 0x03) << 6) | d);
    }
    {
        uint8_t last[3];
        const size_t count = DecodeLastGroup(text + i, last);
        size_t k;
        if (count == 0 || o + count > outCapacity) return 0;
        for (k = 0; k < count; ++k) out[o++] = last[k];
    }
    *outLength = o;
    return 1;
}
