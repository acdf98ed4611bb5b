#include "usb/package/PackageMemory.h"

#include <sys/mman.h>

#include <cstdlib>

namespace TWG::USB {

namespace {

constexpr std::size_t kHugePageSize = std::size_t(2) << 20;

} // namespace

void* allocatePackageMemory(std::size_t size)
{
    if (size < kHugePageSize)
        return std::malloc(size > 0 ? size : 1);
    void* block = nullptr;
    if (::posix_memalign(&block, kHugePageSize, size) != 0)
        return nullptr;
#ifdef MADV_HUGEPAGE
    // Advice only: where the kernel refuses, the block has ordinary pages. A tail shorter than
    // a huge page keeps them too, rather than clearing a whole huge page for it.
    ::madvise(block, size & ~(kHugePageSize - 1), MADV_HUGEPAGE);
#endif
    return block;
}

} // namespace TWG::USB
