// The vertex buffers of a mesh as kernel code sees them: five data addresses into memory that the
// caller shares, the vertex count n, and whether the four float buffers all allow 16- or 32-byte
// vector loads. Rows: positions and normals 3 floats, texcoords 2, colors 4; orient one flag.
#pragma once

#include <cstdint>

namespace gorvin {

struct GeometryBuffers {
    float* positions = nullptr;
    float* normals = nullptr;
    float* texcoords = nullptr;
    float* colors = nullptr;
    bool* orient = nullptr;
    std::uint64_t vertexCount = 0;
    bool simdAligned16 = false;
    bool simdAligned32 = false;

    // Buffers of n vertices at the given addresses; the flags follow from the float addresses.
    static GeometryBuffers shared(float* positions, float* normals, float* texcoords, float* colors,
                                  bool* orient, std::uint64_t n) {
        const auto addresses = reinterpret_cast<std::uintptr_t>(positions) |
                               reinterpret_cast<std::uintptr_t>(normals) |
                               reinterpret_cast<std::uintptr_t>(texcoords) |
                               reinterpret_cast<std::uintptr_t>(colors);
        return GeometryBuffers{positions,
                               normals,
                               texcoords,
                               colors,
                               orient,
                               n,
                               (addresses & 15u) == 0,
                               (addresses & 31u) == 0};
    }
};

} // namespace gorvin
