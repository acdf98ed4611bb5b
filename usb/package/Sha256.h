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

    // What compresses the blocks: portable code, or the CPU's SHA extensions (x86).
    enum class Engine { Portable, CpuExtensions };
    // CpuExtensions when this CPU has them, else Portable; decided once per process.
    static Engine fastestEngine();
    // Whether CpuExtensions can run here; when not, why (else null).
    static bool hasCpuExtensions(const char** why = nullptr);

    Sha256();
    // An engine this CPU cannot run falls back to Portable; engine() tells which runs.
    explicit Sha256(Engine engine);
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void reset();
    void update(const void* data, std::size_t length);
    Digest finish();

    Engine engine() const { return engine_; }

    static Digest hash(const void* data, std::size_t length);

private:
    void compress(const std::uint8_t* blocks, std::size_t count);
    void compressPortable(const std::uint8_t* blocks, std::size_t count);
    void wipe();

    std::uint32_t state_[8];
    std::uint64_t length_;
    std::uint8_t pending_[kBlockSize];
    std::size_t pendingLength_;
    Engine engine_;
};

} // namespace TWG::USB
