#include "usb/package/Sha256.h"

#include "usb/package/Sha256Constants.h"
#include "usb/package/Sha256X86.h"

#include <algorithm>
#include <cstring>

namespace TWG::USB {

namespace {

constexpr std::uint32_t kInitialState[8] = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};


// Every package read hashes the whole file: the rounds stay optimised in unoptimised builds too.
#if defined(__GNUC__) && !defined(__clang__)
#define TWG_SHA256_HOT __attribute__((optimize("O2")))
#define TWG_SHA256_INLINE inline __attribute__((always_inline))
#else
#define TWG_SHA256_HOT
#define TWG_SHA256_INLINE inline
#endif

TWG_SHA256_INLINE std::uint32_t rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

TWG_SHA256_INLINE std::uint32_t loadBigEndian(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

inline void storeBigEndian(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

TWG_SHA256_INLINE std::uint32_t bigSigma0(std::uint32_t x) { return rotr(x, 2) ^ rotr(x, 13) ^ rotr(x, 22); }
TWG_SHA256_INLINE std::uint32_t bigSigma1(std::uint32_t x) { return rotr(x, 6) ^ rotr(x, 11) ^ rotr(x, 25); }
TWG_SHA256_INLINE std::uint32_t smallSigma0(std::uint32_t x) { return rotr(x, 7) ^ rotr(x, 18) ^ (x >> 3); }
TWG_SHA256_INLINE std::uint32_t smallSigma1(std::uint32_t x) { return rotr(x, 17) ^ rotr(x, 19) ^ (x >> 10); }
TWG_SHA256_INLINE std::uint32_t choose(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return z ^ (x & (y ^ z)); }
TWG_SHA256_INLINE std::uint32_t majority(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & y) | (z & (x | y)); }

} // namespace

bool Sha256::hasCpuExtensions(const char** why) { return Sha256X86::available(why); }

Sha256::Engine Sha256::fastestEngine()
{
    return hasCpuExtensions() ? Engine::CpuExtensions : Engine::Portable;
}

Sha256::Sha256() : Sha256(fastestEngine()) {}

Sha256::Sha256(Engine engine)
    : engine_(engine == Engine::CpuExtensions && !hasCpuExtensions() ? Engine::Portable : engine)
{
    reset();
}

Sha256::~Sha256() { wipe(); }

void Sha256::reset()
{
    std::memcpy(state_, kInitialState, sizeof state_);
    length_ = 0;
    pendingLength_ = 0;
}

void Sha256::wipe()
{
    // volatile, so the wipe is not dropped as a dead store before destruction
    volatile std::uint8_t* p = reinterpret_cast<volatile std::uint8_t*>(state_);
    for (std::size_t i = 0; i < sizeof state_; ++i)
        p[i] = 0;
    p = pending_;
    for (std::size_t i = 0; i < sizeof pending_; ++i)
        p[i] = 0;
    length_ = 0;
    pendingLength_ = 0;
}

void Sha256::update(const void* data, std::size_t length)
{
    auto* in = static_cast<const std::uint8_t*>(data);
    length_ += length;
    if (pendingLength_ > 0) {
        const std::size_t take = std::min(length, kBlockSize - pendingLength_);
        std::memcpy(pending_ + pendingLength_, in, take);
        pendingLength_ += take;
        in += take;
        length -= take;
        if (pendingLength_ < kBlockSize)
            return;
        compress(pending_, 1);
        pendingLength_ = 0;
    }
    // Whole blocks straight from the caller's buffer: no copy.
    const std::size_t blocks = length / kBlockSize;
    if (blocks > 0) {
        compress(in, blocks);
        in += blocks * kBlockSize;
        length -= blocks * kBlockSize;
    }
    if (length > 0) {
        std::memcpy(pending_, in, length);
        pendingLength_ = length;
    }
}

Sha256::Digest Sha256::finish()
{
    const std::uint64_t bits = length_ * 8;
    std::uint8_t tail[2 * kBlockSize] = {};
    std::memcpy(tail, pending_, pendingLength_);
    tail[pendingLength_] = 0x80;
    // The bit length takes the last 8 bytes; it needs a second block when fewer than 9 remain.
    const std::size_t tailLength = pendingLength_ + 9 <= kBlockSize ? kBlockSize : 2 * kBlockSize;
    for (int i = 0; i < 8; ++i)
        tail[tailLength - 1 - i] = std::uint8_t(bits >> (8 * i));
    compress(tail, tailLength / kBlockSize);

    Digest digest;
    for (int i = 0; i < 8; ++i)
        storeBigEndian(digest.data() + 4 * i, state_[i]);
    volatile std::uint8_t* t = tail;
    for (std::size_t i = 0; i < sizeof tail; ++i)
        t[i] = 0;
    wipe();
    reset();
    return digest;
}

Sha256::Digest Sha256::hash(const void* data, std::size_t length)
{
    Sha256 sha;
    sha.update(data, length);
    return sha.finish();
}

// The schedule lives in a 16-word ring and the working variables rotate by renaming in the
// round macro, so a block costs no moves and no memory beyond the ring.
#define TWG_SHA256_ROUND(a, b, c, d, e, f, g, h, i, w)                                             \
    do {                                                                                       \
        const std::uint32_t t1 = h + bigSigma1(e) + choose(e, f, g) + kSha256RoundConstants[i] + (w); \
        d += t1;                                                                               \
        h = t1 + bigSigma0(a) + majority(a, b, c);                                             \
    } while (0)

#define TWG_SHA256_EXPAND(i)                                                                    \
    (w[(i) & 15] += smallSigma1(w[((i) - 2) & 15]) + w[((i) - 7) & 15] + smallSigma0(w[((i) - 15) & 15]))

#define TWG_SHA256_EIGHT(i, W)                                                                  \
    TWG_SHA256_ROUND(a, b, c, d, e, f, g, h, (i) + 0, W((i) + 0));                             \
    TWG_SHA256_ROUND(h, a, b, c, d, e, f, g, (i) + 1, W((i) + 1));                             \
    TWG_SHA256_ROUND(g, h, a, b, c, d, e, f, (i) + 2, W((i) + 2));                             \
    TWG_SHA256_ROUND(f, g, h, a, b, c, d, e, (i) + 3, W((i) + 3));                             \
    TWG_SHA256_ROUND(e, f, g, h, a, b, c, d, (i) + 4, W((i) + 4));                             \
    TWG_SHA256_ROUND(d, e, f, g, h, a, b, c, (i) + 5, W((i) + 5));                             \
    TWG_SHA256_ROUND(c, d, e, f, g, h, a, b, (i) + 6, W((i) + 6));                             \
    TWG_SHA256_ROUND(b, c, d, e, f, g, h, a, (i) + 7, W((i) + 7))

#define TWG_SHA256_LOADED(i) w[(i)]

void Sha256::compress(const std::uint8_t* blocks, std::size_t count)
{
    if (engine_ == Engine::CpuExtensions)
        Sha256X86::compress(state_, blocks, count);
    else
        compressPortable(blocks, count);
}

TWG_SHA256_HOT void Sha256::compressPortable(const std::uint8_t* blocks, std::size_t count)
{
    std::uint32_t s0 = state_[0], s1 = state_[1], s2 = state_[2], s3 = state_[3];
    std::uint32_t s4 = state_[4], s5 = state_[5], s6 = state_[6], s7 = state_[7];
    std::uint32_t w[16];
    for (; count > 0; --count, blocks += kBlockSize) {
        for (int i = 0; i < 16; ++i)
            w[i] = loadBigEndian(blocks + 4 * i);
        std::uint32_t a = s0, b = s1, c = s2, d = s3, e = s4, f = s5, g = s6, h = s7;
        TWG_SHA256_EIGHT(0, TWG_SHA256_LOADED);
        TWG_SHA256_EIGHT(8, TWG_SHA256_LOADED);
        TWG_SHA256_EIGHT(16, TWG_SHA256_EXPAND);
        TWG_SHA256_EIGHT(24, TWG_SHA256_EXPAND);
        TWG_SHA256_EIGHT(32, TWG_SHA256_EXPAND);
        TWG_SHA256_EIGHT(40, TWG_SHA256_EXPAND);
        TWG_SHA256_EIGHT(48, TWG_SHA256_EXPAND);
        TWG_SHA256_EIGHT(56, TWG_SHA256_EXPAND);
        s0 += a; s1 += b; s2 += c; s3 += d; s4 += e; s5 += f; s6 += g; s7 += h;
    }
    state_[0] = s0; state_[1] = s1; state_[2] = s2; state_[3] = s3;
    state_[4] = s4; state_[5] = s5; state_[6] = s6; state_[7] = s7;
    volatile std::uint32_t* v = w;
    for (int i = 0; i < 16; ++i)
        v[i] = 0;
}

#undef TWG_SHA256_LOADED
#undef TWG_SHA256_EIGHT
#undef TWG_SHA256_EXPAND
#undef TWG_SHA256_ROUND
#undef TWG_SHA256_INLINE
#undef TWG_SHA256_HOT

} // namespace TWG::USB
