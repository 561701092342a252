// A loop over the indices below a count that the compiler unrolls when the count is known when
// compiled: an std::integral_constant, against a plain unsigned read at run time.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace gorvin {

namespace detail {

template <class Visit, std::size_t... k>
void visitIndices(const Visit& visit, std::index_sequence<k...>) {
    (visit(k), ...);
}

} // namespace detail

// visit(k) for k = 0..count-1, in order.
template <class Visit> void forEachIndex(std::size_t count, const Visit& visit) {
    for (std::size_t k = 0; k < count; ++k)
        visit(k);
}
template <class Count, Count kCount, class Visit>
void forEachIndex(std::integral_constant<Count, kCount>, const Visit& visit) {
    detail::visitIndices(visit, std::make_index_sequence<kCount>{});
}

} // namespace gorvin
