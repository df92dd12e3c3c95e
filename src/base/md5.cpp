#include "base/md5.h"

#include <cstring>

namespace {

uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

uint32_t Word(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The four round functions and one step of each, written out: the digest of
// every unpacked file is taken with it, so the rounds are unrolled.
inline uint32_t F(uint32_t b, uint32_t c, uint32_t d) { return d ^ (b & (c ^ d)); }
inline uint32_t G(uint32_t b, uint32_t c, uint32_t d) { return c ^ (d & (b ^ c)); }
inline uint32_t H(uint32_t b, uint32_t c, uint32_t d) { return b ^ c ^ d; }
inline uint32_t I(uint32_t b, uint32_t c, uint32_t d) { return c ^ (b | ~d); }

#define MD5_STEP(f, a, b, c, d, m, k, r) a = b + Rotl(a + f(b, c, d) + (m) + (k), r)

void Md5Block(uint32_t state[4], const unsigned char* block) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) m[i] = Word(block + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    MD5_STEP(F, a, b, c, d, m[0], 0xd76aa478, 7);   MD5_STEP(F, d, a, b, c, m[1], 0xe8c7b756, 12);
    MD5_STEP(F, c, d, a, b, m[2], 0x242070db, 17);  MD5_STEP(F, b, c, d, a, m[3], 0xc1bdceee, 22);
    MD5_STEP(F, a, b, c, d, m[4], 0xf57c0faf, 7);   MD5_STEP(F, d, a, b, c, m[5], 0x4787c62a, 12);
    MD5_STEP(F, c, d, a, b, m[6], 0xa8304613, 17);  MD5_STEP(F, b, c, d, a, m[7], 0xfd469501, 22);
    MD5_STEP(F, a, b, c, d, m[8], 0x698098d8, 7);   MD5_STEP(F, d, a, b, c, m[9], 0x8b44f7af, 12);
    MD5_STEP(F, c, d, a, b, m[10], 0xffff5bb1, 17); MD5_STEP(F, b, c, d, a, m[11], 0x895cd7be, 22);
    MD5_STEP(F, a, b, c, d, m[12], 0x6b901122, 7);  MD5_STEP(F, d, a, b, c, m[13], 0xfd987193, 12);
    MD5_STEP(F, c, d, a, b, m[14], 0xa679438e, 17); MD5_STEP(F, b, c, d, a, m[15], 0x49b40821, 22);
    MD5_STEP(G, a, b, c, d, m[1], 0xf61e2562, 5);   MD5_STEP(G, d, a, b, c, m[6], 0xc040b340, 9);
    MD5_STEP(G, c, d, a, b, m[11], 0x265e5a51, 14); MD5_STEP(G, b, c, d, a, m[0], 0xe9b6c7aa, 20);
    MD5_STEP(G, a, b, c, d, m[5], 0xd62f105d, 5);   MD5_STEP(G, d, a, b, c, m[10], 0x02441453, 9);
    MD5_STEP(G, c, d, a, b, m[15], 0xd8a1e681, 14); MD5_STEP(G, b, c, d, a, m[4], 0xe7d3fbc8, 20);
    MD5_STEP(G, a, b, c, d, m[9], 0x21e1cde6, 5);   MD5_STEP(G, d, a, b, c, m[14], 0xc33707d6, 9);
    MD5_STEP(G, c, d, a, b, m[3], 0xf4d50d87, 14);  MD5_STEP(G, b, c, d, a, m[8], 0x455a14ed, 20);
    MD5_STEP(G, a, b, c, d, m[13], 0xa9e3e905, 5);  MD5_STEP(G, d, a, b, c, m[2], 0xfcefa3f8, 9);
    MD5_STEP(G, c, d, a, b, m[7], 0x676f02d9, 14);  MD5_STEP(G, b, c, d, a, m[12], 0x8d2a4c8a, 20);
    MD5_STEP(H, a, b, c, d, m[5], 0xfffa3942, 4);   MD5_STEP(H, d, a, b, c, m[8], 0x8771f681, 11);
    MD5_STEP(H, c, d, a, b, m[11], 0x6d9d6122, 16); MD5_STEP(H, b, c, d, a, m[14], 0xfde5380c, 23);
    MD5_STEP(H, a, b, c, d, m[1], 0xa4beea44, 4);   MD5_STEP(H, d, a, b, c, m[4], 0x4bdecfa9, 11);
    MD5_STEP(H, c, d, a, b, m[7], 0xf6bb4b60, 16);  MD5_STEP(H, b, c, d, a, m[10], 0xbebfbc70, 23);
    MD5_STEP(H, a, b, c, d, m[13], 0x289b7ec6, 4);  MD5_STEP(H, d, a, b, c, m[0], 0xeaa127fa, 11);
    MD5_STEP(H, c, d, a, b, m[3], 0xd4ef3085, 16);  MD5_STEP(H, b, c, d, a, m[6], 0x04881d05, 23);
    MD5_STEP(H, a, b, c, d, m[9], 0xd9d4d039, 4);   MD5_STEP(H, d, a, b, c, m[12], 0xe6db99e5, 11);
    MD5_STEP(H, c, d, a, b, m[15], 0x1fa27cf8, 16); MD5_STEP(H, b, c, d, a, m[2], 0xc4ac5665, 23);
    MD5_STEP(I, a, b, c, d, m[0], 0xf4292244, 6);   MD5_STEP(I, d, a, b, c, m[7], 0x432aff97, 10);
    MD5_STEP(I, c, d, a, b, m[14], 0xab9423a7, 15); MD5_STEP(I, b, c, d, a, m[5], 0xfc93a039, 21);
    MD5_STEP(I, a, b, c, d, m[12], 0x655b59c3, 6);  MD5_STEP(I, d, a, b, c, m[3], 0x8f0ccc92, 10);
    MD5_STEP(I, c, d, a, b, m[10], 0xffeff47d, 15); MD5_STEP(I, b, c, d, a, m[1], 0x85845dd1, 21);
    MD5_STEP(I, a, b, c, d, m[8], 0x6fa87e4f, 6);   MD5_STEP(I, d, a, b, c, m[15], 0xfe2ce6e0, 10);
    MD5_STEP(I, c, d, a, b, m[6], 0xa3014314, 15);  MD5_STEP(I, b, c, d, a, m[13], 0x4e0811a1, 21);
    MD5_STEP(I, a, b, c, d, m[4], 0xf7537e82, 6);   MD5_STEP(I, d, a, b, c, m[11], 0xbd3af235, 10);
    MD5_STEP(I, c, d, a, b, m[2], 0x2ad7d2bb, 15);  MD5_STEP(I, b, c, d, a, m[9], 0xeb86d391, 21);
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

#undef MD5_STEP

}  // namespace

void Md5Begin(Md5State* ctx) {
    std::memset(ctx, 0, sizeof *ctx);
    ctx->state[0] = 0x67452301;
    ctx->state[1] = 0xefcdab89;
    ctx->state[2] = 0x98badcfe;
    ctx->state[3] = 0x10325476;
}

void Md5Add(Md5State* ctx, const void* bytes, size_t length) {
    const unsigned char* data = static_cast<const unsigned char*>(bytes);
    unsigned have = (ctx->count[0] >> 3) & 63;
    uint32_t bits = static_cast<uint32_t>(length << 3);
    ctx->count[0] += bits;
    if (ctx->count[0] < bits) ctx->count[1]++;
    ctx->count[1] += static_cast<uint32_t>(length >> 29);
    if (have > 0 && length > 0) {
        size_t take = length < 64 - have ? length : 64 - have;
        std::memcpy(ctx->input + have, data, take);
        have += static_cast<unsigned>(take);
        data += take;
        length -= take;
        if (have < 64) return;
        Md5Block(ctx->state, ctx->input);
    }
    // Whole blocks straight from the data; what is left waits in the input.
    for (; length >= 64; data += 64, length -= 64) Md5Block(ctx->state, data);
    if (length > 0) std::memcpy(ctx->input, data, length);
}

void Md5End(Md5State* ctx) {
    unsigned char lengthBytes[8];
    for (int i = 0; i < 4; ++i) {
        lengthBytes[i] = static_cast<unsigned char>(ctx->count[0] >> (8 * i));
        lengthBytes[4 + i] = static_cast<unsigned char>(ctx->count[1] >> (8 * i));
    }
    static const unsigned char pad[64] = {0x80};
    unsigned have = (ctx->count[0] >> 3) & 63;
    Md5Add(ctx, pad, have < 56 ? 56 - have : 120 - have);
    Md5Add(ctx, lengthBytes, 8);
    for (int i = 0; i < 16; ++i) ctx->digest[i] = static_cast<unsigned char>(ctx->state[i / 4] >> (8 * (i % 4)));
}
