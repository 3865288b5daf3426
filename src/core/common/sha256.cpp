#include "common/sha256.h"

#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TOMBOLIX_SHA_NI 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace tombolix::sha256 {

namespace {

const quint32 K[64]
    = { 0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
          0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
          0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
          0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
          0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
          0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
          0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
          0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2 };

inline quint32 rotr(quint32 x, int n)
{
    return (x >> n) | (x << (32 - n));
}

void compressPlain(quint32 state[8], const unsigned char *data, size_t blocks)
{
    for (; blocks > 0; --blocks, data += 64) {
        quint32 w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = quint32(data[4 * i]) << 24 | quint32(data[4 * i + 1]) << 16 | quint32(data[4 * i + 2]) << 8
                | quint32(data[4 * i + 3]);
        for (int i = 16; i < 64; ++i) {
            const quint32 s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const quint32 s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        quint32 a = state[0], b = state[1], c = state[2], d = state[3];
        quint32 e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            const quint32 t1
                = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + K[i] + w[i];
            const quint32 t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#ifdef TOMBOLIX_SHA_NI
__attribute__((target("sha,sse4.1,ssse3"))) void compressShaNi(
    quint32 state[8], const unsigned char *data, size_t blocks)
{
    const __m128i mask = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i tmp = _mm_loadu_si128(reinterpret_cast<const __m128i *>(&state[0]));
    __m128i state1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(&state[4]));
    tmp = _mm_shuffle_epi32(tmp, 0xB1); // CDAB
    state1 = _mm_shuffle_epi32(state1, 0x1B); // EFGH
    __m128i state0 = _mm_alignr_epi8(tmp, state1, 8); // ABEF
    state1 = _mm_blend_epi16(state1, tmp, 0xF0); // CDGH

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefSave = state0;
        const __m128i cdghSave = state1;
        __m128i w[4];
        for (int group = 0; group < 16; ++group) {
            __m128i &current = w[group % 4];
            if (group < 4)
                current = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + 16 * group)), mask);
            __m128i message
                = _mm_add_epi32(current, _mm_loadu_si128(reinterpret_cast<const __m128i *>(&K[4 * group])));
            state1 = _mm_sha256rnds2_epu32(state1, state0, message);
            if (group >= 3 && group <= 14) {
                __m128i &next = w[(group + 1) % 4];
                next = _mm_add_epi32(next, _mm_alignr_epi8(current, w[(group + 3) % 4], 4));
                next = _mm_sha256msg2_epu32(next, current);
            }
            message = _mm_shuffle_epi32(message, 0x0E);
            state0 = _mm_sha256rnds2_epu32(state0, state1, message);
            if (group >= 1 && group <= 12) {
                __m128i &previous = w[(group + 3) % 4];
                previous = _mm_sha256msg1_epu32(previous, current);
            }
        }
        state0 = _mm_add_epi32(state0, abefSave);
        state1 = _mm_add_epi32(state1, cdghSave);
    }

    tmp = _mm_shuffle_epi32(state0, 0x1B); // FEBA
    state1 = _mm_shuffle_epi32(state1, 0xB1); // DCHG
    state0 = _mm_blend_epi16(tmp, state1, 0xF0); // DCBA
    state1 = _mm_alignr_epi8(state1, tmp, 8); // ABEF
    _mm_storeu_si128(reinterpret_cast<__m128i *>(&state[0]), state0);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(&state[4]), state1);
}

bool detectShaNi()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return false;
    const bool ssse3 = c & (1u << 9);
    const bool sse41 = c & (1u << 19);
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
        return false;
    const bool sha = b & (1u << 29);
    return ssse3 && sse41 && sha;
}
#endif

using Compress = void (*)(quint32 *, const unsigned char *, size_t);

Compress chooseCompress()
{
#ifdef TOMBOLIX_SHA_NI
    if (detectShaNi())
        return compressShaNi;
#endif
    return compressPlain;
}

const Compress compress = chooseCompress();

} // namespace

Hasher::Hasher()
    : m_state { 0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab,
        0x5be0cd19 }
{ }

void Hasher::add(QByteArrayView bytes)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    size_t size = size_t(bytes.size());
    m_length += size;
    if (m_pendingSize > 0) {
        const size_t take = std::min(size, size_t(64 - m_pendingSize));
        std::memcpy(m_pending + m_pendingSize, data, take);
        m_pendingSize += int(take);
        data += take;
        size -= take;
        if (m_pendingSize < 64)
            return;
        compress(m_state, m_pending, 1);
        m_pendingSize = 0;
    }
    if (size >= 64) {
        compress(m_state, data, size / 64);
        data += size - size % 64;
        size %= 64;
    }
    std::memcpy(m_pending, data, size);
    m_pendingSize = int(size);
}

QByteArray Hasher::result() const
{
    quint32 state[8];
    std::memcpy(state, m_state, sizeof state);
    unsigned char tail[128] = {};
    std::memcpy(tail, m_pending, size_t(m_pendingSize));
    tail[m_pendingSize] = 0x80;
    const int blocks = m_pendingSize + 9 > 64 ? 2 : 1;
    const quint64 bits = m_length * 8;
    for (int i = 0; i < 8; ++i)
        tail[blocks * 64 - 1 - i] = (unsigned char)(bits >> (8 * i));
    compress(state, tail, size_t(blocks));
    QByteArray digest(32, Qt::Uninitialized);
    for (int i = 0; i < 8; ++i) {
        digest[4 * i] = char(state[i] >> 24);
        digest[4 * i + 1] = char(state[i] >> 16);
        digest[4 * i + 2] = char(state[i] >> 8);
        digest[4 * i + 3] = char(state[i]);
    }
    return digest;
}

QByteArray Hash(QByteArrayView bytes)
{
    Hasher hasher;
    hasher.add(bytes);
    return hasher.result();
}

bool UsesShaInstructions()
{
    return compress != compressPlain;
}

} // namespace tombolix::sha256
