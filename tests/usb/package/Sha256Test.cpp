#include "usb/package/Sha256.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>

#include <cstdint>
#include <random>
#include <vector>

using TWG::USB::Sha256;

namespace {

std::vector<std::uint8_t> message(std::size_t n)
{
    std::vector<std::uint8_t> m(n);
    for (std::size_t i = 0; i < n; ++i)
        m[i] = std::uint8_t(i * 131 + (i >> 9));
    return m;
}

QByteArray oracle(const std::vector<std::uint8_t>& m)
{
    return QCryptographicHash::hash(QByteArray(reinterpret_cast<const char*>(m.data()), int(m.size())),
                                    QCryptographicHash::Sha256);
}

QByteArray bytes(const Sha256::Digest& d) { return QByteArray(reinterpret_cast<const char*>(d.data()), int(d.size())); }

// Lengths on both sides of the padding boundaries: 55/56 decide whether the length fits the
// last block, 63/64/65 and 119/120 the block edges.
const std::size_t kBoundaryLengths[] = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 121, 127, 128, 183, 184, 1000, (1 << 20) + 3};

Sha256::Digest digestIn(Sha256::Engine engine, const std::vector<std::uint8_t>& m, std::size_t chunk)
{
    Sha256 sha(engine);
    EXPECT_EQ(sha.engine(), engine);
    for (std::size_t at = 0; at < m.size(); at += chunk)
        sha.update(m.data() + at, std::min(chunk, m.size() - at));
    return sha.finish();
}

} // namespace

TEST(Sha256, MatchesOracleAtPaddingBoundaries)
{
    for (std::size_t n : kBoundaryLengths) {
        const auto m = message(n);
        EXPECT_EQ(bytes(Sha256::hash(m.data(), m.size())).toHex(), oracle(m).toHex()) << "length " << n;
        EXPECT_EQ(bytes(digestIn(Sha256::Engine::Portable, m, m.size() + 1)).toHex(), oracle(m).toHex())
            << "portable code, length " << n;
    }
}

// The CPU's SHA extensions against the portable code: the boundary table, then random lengths,
// contents and chunkings (a fixed seed, so a failure repeats).
TEST(Sha256, CpuExtensionsMatchThePortableCode)
{
    const char* why = nullptr;
    if (!Sha256::hasCpuExtensions(&why))
        GTEST_SKIP() << "the SHA-extension code cannot run here: " << why;
    EXPECT_EQ(Sha256::fastestEngine(), Sha256::Engine::CpuExtensions);

    for (std::size_t n : kBoundaryLengths) {
        const auto m = message(n);
        EXPECT_EQ(bytes(digestIn(Sha256::Engine::CpuExtensions, m, m.size() + 1)).toHex(),
                  bytes(digestIn(Sha256::Engine::Portable, m, m.size() + 1)).toHex())
            << "length " << n;
    }

    std::mt19937 random(0x5EED13);
    std::uniform_int_distribution<std::size_t> length(0, 4096);
    std::uniform_int_distribution<std::size_t> chunk(1, 300);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 300; ++i) {
        std::vector<std::uint8_t> m(length(random));
        for (auto& b : m)
            b = std::uint8_t(byte(random));
        const std::size_t c = chunk(random);
        ASSERT_EQ(bytes(digestIn(Sha256::Engine::CpuExtensions, m, c)).toHex(),
                  bytes(digestIn(Sha256::Engine::Portable, m, c)).toHex())
            << "length " << m.size() << " in chunks of " << c;
    }
}

TEST(Sha256, ChunkedFeedEqualsOneShot)
{
    const auto m = message(3 * 64 + 17);
    const QByteArray expected = oracle(m);
    for (std::size_t chunk : {1, 7, 55, 63, 64, 65, 130}) {
        Sha256 sha;
        for (std::size_t at = 0; at < m.size(); at += chunk)
            sha.update(m.data() + at, std::min(chunk, m.size() - at));
        EXPECT_EQ(bytes(sha.finish()).toHex(), expected.toHex()) << "chunk " << chunk;
    }
}

TEST(Sha256, KnownVectorAndReuseAfterFinish)
{
    Sha256 sha;
    sha.update("abc", 3);
    const QByteArray first = bytes(sha.finish()).toHex();
    EXPECT_EQ(first, QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    // finish wipes the context, so the next message starts clean
    sha.update("abc", 3);
    EXPECT_EQ(bytes(sha.finish()).toHex(), first);
}
