// Backing a large range of fresh memory with pages in one request, before it is written, rather
// than taking one page fault per page as the writes reach it.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace gorvin {

// Asks the kernel to back the whole pages of [data, data + bytes) when the range is large. A
// kernel that does not know the request ignores it, and the writes fault as usual.
inline void prefaultPages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    constexpr std::uintptr_t kPage = 4096;
    constexpr std::size_t kWorthIt = std::size_t{1} << 20;
    if (bytes < kWorthIt) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const auto first = (begin + kPage - 1) & ~(kPage - 1);
    const auto last = (begin + bytes) & ~(kPage - 1);
    madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#endif
}

} // namespace gorvin
