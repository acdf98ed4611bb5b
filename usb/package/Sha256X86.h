#pragma once

#include <cstddef>
#include <cstdint>

namespace TWG::USB::Sha256X86 {

// Whether this CPU runs the SHA extensions with the SSSE3 and SSE4.1 they need; when not, why
// (for a message), else null.
bool available(const char** why = nullptr);

// The compression function on the SHA extensions. Only to be called when available().
void compress(std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count);

} // namespace TWG::USB::Sha256X86
