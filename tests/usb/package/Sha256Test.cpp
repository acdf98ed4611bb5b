#include "usb/package/Sha256.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>

#include <cstdint>
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

} // namespace

// Lengths on both sides of the padding boundaries: 55/56 decide whether the length fits the
// last block, 63/64/65 and 119/120 the block edges.
TEST(Sha256, MatchesOracleAtPaddingBoundaries)
{
    for (std::size_t n : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 1000, (1 << 20) + 3}) {
        const auto m = message(n);
        EXPECT_EQ(bytes(Sha256::hash(m.data(), m.size())).toHex(), oracle(m).toHex()) << "length " << n;
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
