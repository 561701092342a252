// A growable array of trivially copyable values in one block from the C allocator. It grows with
// realloc, which moves a large block by remapping its pages: growing a table of millions of darts
// neither copies it nor touches its old pages again.
#pragma once

#include "gorvin/core/prefault.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace gorvin {

template <class T> class PodVector {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

  public:
    PodVector() = default;
    PodVector(const PodVector& other) {
        reserve(other.size_);
        if (other.size_ > 0) std::memcpy(data_, other.data_, other.size_ * sizeof(T));
        size_ = other.size_;
    }
    PodVector(PodVector&& other) noexcept { swap(other); }
    PodVector& operator=(PodVector other) noexcept {
        swap(other);
        return *this;
    }
    ~PodVector() { std::free(data_); }

    void swap(PodVector& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

    std::size_t size() const { return size_; }
    const T* data() const { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

    void reserve(std::size_t n) {
        if (n > kMaxSize) throw std::length_error("vector::reserve");
        if (n > capacity_) reallocate(n);
    }

    // Appends n values, value i (counted from the old end) being make(i). Capacity at least
    // doubles when it runs out, so that many small appends stay linear overall.
    template <class Make> void appendGenerated(std::size_t n, Make&& make) {
        reserveFor(n);
        T* out = data_ + size_;
        prefaultPages(out, n * sizeof(T));
        for (std::size_t i = 0; i < n; ++i)
            out[i] = make(i);
        size_ += n;
    }

    void append(std::size_t n, const T& value) {
        reserveFor(n);
        prefaultPages(data_ + size_, n * sizeof(T));
        std::fill_n(data_ + size_, n, value);
        size_ += n;
    }

    // Shrinks to n values, or appends copies of `value` up to n.
    void resize(std::size_t n, const T& value = T{}) {
        if (n > size_)
            append(n - size_, value);
        else
            size_ = n;
    }
    void clear() { size_ = 0; }

  private:
    // The largest size std::vector allows for T.
    static constexpr std::size_t kMaxSize =
        static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(T);

    // Room for n more values; capacity at least doubles when it grows.
    void reserveFor(std::size_t n) {
        if (n <= capacity_ - size_) return;
        if (n > kMaxSize - size_) throw std::length_error("vector::append");
        reallocate(std::min(kMaxSize, std::max(size_ + n, 2 * capacity_)));
    }

    // n <= kMaxSize
    void reallocate(std::size_t n) {
        void* block = std::realloc(data_, n * sizeof(T));
        if (block == nullptr) throw std::bad_alloc();
        data_ = static_cast<T*>(block);
        capacity_ = n;
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace gorvin
