#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace TWG::USB {

// SHA-256 (FIPS 180-4). Feed with update, then finish; the context is wiped by finish and
// starts over for the next message.
class Sha256 {
public:
    static constexpr std::size_t kDigestSize = 32;
    static constexpr std::size_t kBlockSize = 64;
    using Digest = std::array<std::uint8_t, kDigestSize>;

    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void reset();
    void update(const void* data, std::size_t length);
    Digest finish();

    static Digest hash(const void* data, std::size_t length);

private:
    void compress(const std::uint8_t* blocks, std::size_t count);
    void wipe();

    std::uint32_t state_[8];
    std::uint64_t length_;
    std::uint8_t pending_[kBlockSize];
    std::size_t pendingLength_;
};

} // namespace TWG::USB
