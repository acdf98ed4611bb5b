#pragma once

#include <cstddef>

namespace TWG::USB {

// A block for a package file or an entry's data; free it with std::free. Blocks of megabytes
// are aligned to huge pages and ask the kernel for them: a fresh process otherwise spends
// about as long faulting in and clearing 4 KiB pages as hashing the file. Null when out of memory.
void* allocatePackageMemory(std::size_t size);

} // namespace TWG::USB
