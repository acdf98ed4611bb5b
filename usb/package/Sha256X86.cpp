#include "usb/package/Sha256X86.h"

#include "usb/package/Sha256Constants.h"

#include <cstdlib>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define TWG_SHA256_X86 1
#endif

namespace TWG::USB::Sha256X86 {

#ifdef TWG_SHA256_X86

namespace {

constexpr unsigned kLeaf1EcxSsse3 = 1u << 9;
constexpr unsigned kLeaf1EcxSse41 = 1u << 19;
constexpr unsigned kLeaf7EbxSha = 1u << 29;

// GCC 12's __builtin_cpu_supports("sha") answers false on CPUs that have them, so CPUID is
// asked directly.
const char* missingFeature()
{
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return "the CPU does not report its features (CPUID leaf 1)";
    if (!(ecx & kLeaf1EcxSsse3))
        return "the CPU lacks SSSE3 (CPUID leaf 1 ECX bit 9)";
    if (!(ecx & kLeaf1EcxSse41))
        return "the CPU lacks SSE4.1 (CPUID leaf 1 ECX bit 19)";
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx))
        return "the CPU does not report its extended features (CPUID leaf 7)";
    if (!(ebx & kLeaf7EbxSha))
        return "the CPU lacks the SHA extensions (CPUID leaf 7 EBX bit 29)";
    return nullptr;
}

} // namespace

bool available(const char** why)
{
    static const char* const missing = missingFeature();
    if (why)
        *why = missing;
    return missing == nullptr;
}

// Four rounds per step: two sha256rnds2, with the schedule for the steps ahead (msg1 three steps
// ahead, msg2 one step ahead) interleaved. The state is kept as ABEF and CDGH, the order the
// instructions take. Optimised in unoptimised builds too, as every package read runs it.
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((target("sha,sse4.1,ssse3"), optimize("O2")))
#else
__attribute__((target("sha,sse4.1,ssse3")))
#endif
void compress(std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bll, 0x0405060700010203ll);

    const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; count > 0; --count, blocks += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i w[4];
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC unroll 16
#endif
        for (int step = 0; step < 16; ++step) {
            __m128i& current = w[step & 3];
            if (step < 4)
                current = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * step)), byteSwap);
            __m128i k = _mm_add_epi32(current,
                                      _mm_load_si128(reinterpret_cast<const __m128i*>(kSha256RoundConstants + 4 * step)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
            if (step >= 3 && step <= 14) {
                __m128i& next = w[(step + 1) & 3];
                next = _mm_add_epi32(next, _mm_alignr_epi8(current, w[(step + 3) & 3], 4));
                next = _mm_sha256msg2_epu32(next, current);
            }
            k = _mm_shuffle_epi32(k, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, k);
            if (step >= 1 && step <= 12) {
                __m128i& previous = w[(step + 3) & 3];
                previous = _mm_sha256msg1_epu32(previous, current);
            }
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

#else

bool available(const char** why)
{
    if (why)
        *why = "not an x86 build";
    return false;
}

void compress(std::uint32_t*, const std::uint8_t*, std::size_t) { std::abort(); }

#endif

} // namespace TWG::USB::Sha256X86
