#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Bytes as the tests write, send and compare them.
using Bytes = std::vector<std::uint8_t>;

// n bytes of data for a transfer, an image or a package entry. Within 16 MiB no byte is where
// the same byte stands one, 256 or 65536 bytes on, so data sent twice, dropped or written at
// another offset (a wrong page, block or segment) shows; it stays compressible, as images are.
// Another seed gives other bytes at every offset.
inline Bytes pattern(std::size_t n, unsigned seed = 1)
{
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 8) + (i >> 16));
    return bytes;
}
