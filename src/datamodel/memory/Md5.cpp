#include "datamodel/memory/Md5.h"

#include <cstdint>
#include <cstring>

namespace {

using u32 = std::uint32_t;

inline u32 rotl(u32 x, int n)
{
    return (x << n) | (x >> (32 - n));
}

// Little-endian word i of a 64-byte block; compilers turn this into one load on x86.
inline u32 word(const unsigned char* block, int i)
{
    const unsigned char* p = block + 4 * i;
    return u32(p[0]) | (u32(p[1]) << 8) | (u32(p[2]) << 16) | (u32(p[3]) << 24);
}

inline u32 f(u32 x, u32 y, u32 z) { return z ^ (x & (y ^ z)); }
inline u32 g(u32 x, u32 y, u32 z) { return y ^ (z & (x ^ y)); }
inline u32 h(u32 x, u32 y, u32 z) { return x ^ y ^ z; }
inline u32 i(u32 x, u32 y, u32 z) { return y ^ (x | ~z); }

#define MD5_STEP(fn, a, b, c, d, x, t, s) a = b + rotl(a + fn(b, c, d) + (x) + (t), s)

// One 64-byte block into the state: the four rounds of RFC 1321 section 3.4, written out so
// that every constant and shift is an immediate.
void transform(u32 state[4], const unsigned char* block)
{
    const u32 x0 = word(block, 0), x1 = word(block, 1), x2 = word(block, 2), x3 = word(block, 3);
    const u32 x4 = word(block, 4), x5 = word(block, 5), x6 = word(block, 6), x7 = word(block, 7);
    const u32 x8 = word(block, 8), x9 = word(block, 9), x10 = word(block, 10), x11 = word(block, 11);
    const u32 x12 = word(block, 12), x13 = word(block, 13), x14 = word(block, 14), x15 = word(block, 15);
    u32 a = state[0], b = state[1], c = state[2], d = state[3];

    MD5_STEP(f, a, b, c, d, x0, 0xd76aa478, 7);
    MD5_STEP(f, d, a, b, c, x1, 0xe8c7b756, 12);
    MD5_STEP(f, c, d, a, b, x2, 0x242070db, 17);
    MD5_STEP(f, b, c, d, a, x3, 0xc1bdceee, 22);
    MD5_STEP(f, a, b, c, d, x4, 0xf57c0faf, 7);
    MD5_STEP(f, d, a, b, c, x5, 0x4787c62a, 12);
    MD5_STEP(f, c, d, a, b, x6, 0xa8304613, 17);
    MD5_STEP(f, b, c, d, a, x7, 0xfd469501, 22);
    MD5_STEP(f, a, b, c, d, x8, 0x698098d8, 7);
    MD5_STEP(f, d, a, b, c, x9, 0x8b44f7af, 12);
    MD5_STEP(f, c, d, a, b, x10, 0xffff5bb1, 17);
    MD5_STEP(f, b, c, d, a, x11, 0x895cd7be, 22);
    MD5_STEP(f, a, b, c, d, x12, 0x6b901122, 7);
    MD5_STEP(f, d, a, b, c, x13, 0xfd987193, 12);
    MD5_STEP(f, c, d, a, b, x14, 0xa679438e, 17);
    MD5_STEP(f, b, c, d, a, x15, 0x49b40821, 22);

    MD5_STEP(g, a, b, c, d, x1, 0xf61e2562, 5);
    MD5_STEP(g, d, a, b, c, x6, 0xc040b340, 9);
    MD5_STEP(g, c, d, a, b, x11, 0x265e5a51, 14);
    MD5_STEP(g, b, c, d, a, x0, 0xe9b6c7aa, 20);
    MD5_STEP(g, a, b, c, d, x5, 0xd62f105d, 5);
    MD5_STEP(g, d, a, b, c, x10, 0x02441453, 9);
    MD5_STEP(g, c, d, a, b, x15, 0xd8a1e681, 14);
    MD5_STEP(g, b, c, d, a, x4, 0xe7d3fbc8, 20);
    MD5_STEP(g, a, b, c, d, x9, 0x21e1cde6, 5);
    MD5_STEP(g, d, a, b, c, x14, 0xc33707d6, 9);
    MD5_STEP(g, c, d, a, b, x3, 0xf4d50d87, 14);
    MD5_STEP(g, b, c, d, a, x8, 0x455a14ed, 20);
    MD5_STEP(g, a, b, c, d, x13, 0xa9e3e905, 5);
    MD5_STEP(g, d, a, b, c, x2, 0xfcefa3f8, 9);
    MD5_STEP(g, c, d, a, b, x7, 0x676f02d9, 14);
    MD5_STEP(g, b, c, d, a, x12, 0x8d2a4c8a, 20);

    MD5_STEP(h, a, b, c, d, x5, 0xfffa3942, 4);
    MD5_STEP(h, d, a, b, c, x8, 0x8771f681, 11);
    MD5_STEP(h, c, d, a, b, x11, 0x6d9d6122, 16);
    MD5_STEP(h, b, c, d, a, x14, 0xfde5380c, 23);
    MD5_STEP(h, a, b, c, d, x1, 0xa4beea44, 4);
    MD5_STEP(h, d, a, b, c, x4, 0x4bdecfa9, 11);
    MD5_STEP(h, c, d, a, b, x7, 0xf6bb4b60, 16);
    MD5_STEP(h, b, c, d, a, x10, 0xbebfbc70, 23);
    MD5_STEP(h, a, b, c, d, x13, 0x289b7ec6, 4);
    MD5_STEP(h, d, a, b, c, x0, 0xeaa127fa, 11);
    MD5_STEP(h, c, d, a, b, x3, 0xd4ef3085, 16);
    MD5_STEP(h, b, c, d, a, x6, 0x04881d05, 23);
    MD5_STEP(h, a, b, c, d, x9, 0xd9d4d039, 4);
    MD5_STEP(h, d, a, b, c, x12, 0xe6db99e5, 11);
    MD5_STEP(h, c, d, a, b, x15, 0x1fa27cf8, 16);
    MD5_STEP(h, b, c, d, a, x2, 0xc4ac5665, 23);

    MD5_STEP(i, a, b, c, d, x0, 0xf4292244, 6);
    MD5_STEP(i, d, a, b, c, x7, 0x432aff97, 10);
    MD5_STEP(i, c, d, a, b, x14, 0xab9423a7, 15);
    MD5_STEP(i, b, c, d, a, x5, 0xfc93a039, 21);
    MD5_STEP(i, a, b, c, d, x12, 0x655b59c3, 6);
    MD5_STEP(i, d, a, b, c, x3, 0x8f0ccc92, 10);
    MD5_STEP(i, c, d, a, b, x10, 0xffeff47d, 15);
    MD5_STEP(i, b, c, d, a, x1, 0x85845dd1, 21);
    MD5_STEP(i, a, b, c, d, x8, 0x6fa87e4f, 6);
    MD5_STEP(i, d, a, b, c, x15, 0xfe2ce6e0, 10);
    MD5_STEP(i, c, d, a, b, x6, 0xa3014314, 15);
    MD5_STEP(i, b, c, d, a, x13, 0x4e0811a1, 21);
    MD5_STEP(i, a, b, c, d, x4, 0xf7537e82, 6);
    MD5_STEP(i, d, a, b, c, x11, 0xbd3af235, 10);
    MD5_STEP(i, c, d, a, b, x2, 0x2ad7d2bb, 15);
    MD5_STEP(i, b, c, d, a, x9, 0xeb86d391, 21);

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

#undef MD5_STEP

} // namespace

void Md5::getMd5(const char* data, std::size_t length, unsigned char* out16)
{
    if (!out16)
        return;
    u32 state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    const std::size_t whole = length / 64 * 64;
    for (std::size_t at = 0; at < whole; at += 64)
        transform(state, bytes + at);

    // The rest, the 0x80 marker, zeros up to 56 bytes modulo 64, and the length in bits as a
    // little-endian 64-bit number: one or two more blocks.
    unsigned char tail[128] = {};
    const std::size_t rest = length - whole;
    if (rest)
        std::memcpy(tail, bytes + whole, rest);
    tail[rest] = 0x80;
    const std::size_t tailSize = rest < 56 ? 64 : 128;
    const std::uint64_t bits = static_cast<std::uint64_t>(length) * 8u;
    for (int k = 0; k < 8; ++k)
        tail[tailSize - 8 + k] = static_cast<unsigned char>(bits >> (8 * k));
    transform(state, tail);
    if (tailSize == 128)
        transform(state, tail + 64);

    for (int w = 0; w < 4; ++w)
        for (int k = 0; k < 4; ++k)
            out16[4 * w + k] = static_cast<unsigned char>(state[w] >> (8 * k));
}

std::string Md5::getMd5Hex(const char* data, std::size_t length)
{
    static const char digits[] = "0123456789abcdef";
    unsigned char digest[DigestSize];
    getMd5(data, length, digest);
    std::string out(2 * DigestSize, '0');
    for (std::size_t k = 0; k < DigestSize; ++k) {
        out[2 * k] = digits[digest[k] >> 4];
        out[2 * k + 1] = digits[digest[k] & 0xF];
    }
    return out;
}
