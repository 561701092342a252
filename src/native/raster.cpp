// A small depth-buffered rasterizer for pictures of meshes: flat-coloured triangles and lines drawn
// on a canvas `samples` times finer than the image, whose pixels are then averaged (anti-aliasing).
// Points come in image pixels (x right, y down) with a depth that grows towards the viewer.
#include "native.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace gorvin::native {

namespace {

using Colour = std::array<float, 3>;

class Canvas {
  public:
    Canvas(int width, int height, const Colour& background)
        : width_(width), height_(height),
          depth_(static_cast<std::size_t>(width) * height, -std::numeric_limits<float>::infinity()),
          colour_(static_cast<std::size_t>(width) * height, background) {}

    void plot(int x, int y, float depth, const Colour& colour) {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
        const std::size_t at = static_cast<std::size_t>(y) * width_ + x;
        if (depth < depth_[at]) return;
        depth_[at] = depth;
        colour_[at] = colour;
    }

    // Pixels whose centre lies inside the triangle (either turn), depth interpolated.
    void triangle(const double* a, const double* b, const double* c, const Colour& colour) {
        const double area = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
        if (area == 0 || !std::isfinite(area)) return;
        const int x0 = std::max(0, static_cast<int>(std::floor(std::min({a[0], b[0], c[0]}))));
        const int x1 =
            std::min(width_ - 1, static_cast<int>(std::ceil(std::max({a[0], b[0], c[0]}))));
        const int y0 = std::max(0, static_cast<int>(std::floor(std::min({a[1], b[1], c[1]}))));
        const int y1 =
            std::min(height_ - 1, static_cast<int>(std::ceil(std::max({a[1], b[1], c[1]}))));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const double px = x + 0.5, py = y + 0.5;
                const double wa = ((b[0] - px) * (c[1] - py) - (b[1] - py) * (c[0] - px)) / area;
                const double wb = ((c[0] - px) * (a[1] - py) - (c[1] - py) * (a[0] - px)) / area;
                const double wc = 1 - wa - wb;
                if (wa < 0 || wb < 0 || wc < 0) continue;
                plot(x, y, static_cast<float>(wa * a[2] + wb * b[2] + wc * c[2]), colour);
            }
    }

    // A line `thickness` pixels wide, drawn in front of surfaces up to `lift` deeper.
    void line(const double* a, const double* b, const Colour& colour, int thickness, double lift) {
        const double steps = std::ceil(std::max(std::abs(b[0] - a[0]), std::abs(b[1] - a[1])));
        if (!std::isfinite(steps)) return;
        for (double s = 0; s <= steps; ++s) {
            const double t = steps > 0 ? s / steps : 0;
            const int x = static_cast<int>(std::floor(a[0] + t * (b[0] - a[0])));
            const int y = static_cast<int>(std::floor(a[1] + t * (b[1] - a[1])));
            const auto depth = static_cast<float>(a[2] + t * (b[2] - a[2]) + lift);
            for (int dy = 0; dy < thickness; ++dy)
                for (int dx = 0; dx < thickness; ++dx)
                    plot(x + dx, y + dy, depth, colour);
        }
    }

    // The image, each pixel the mean of samples x samples canvas pixels, as 8-bit RGB.
    py::array_t<std::uint8_t> image(int samples) const {
        const int w = width_ / samples, h = height_ / samples;
        py::array_t<std::uint8_t> out({h, w, 3});
        std::uint8_t* pixel = out.mutable_data();
        const float share = 255.0f / static_cast<float>(samples * samples);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x, pixel += 3) {
                Colour sum{};
                for (int sy = 0; sy < samples; ++sy)
                    for (int sx = 0; sx < samples; ++sx) {
                        const Colour& c =
                            colour_[static_cast<std::size_t>(y * samples + sy) * width_ +
                                    x * samples + sx];
                        for (int k = 0; k < 3; ++k)
                            sum[k] += c[k];
                    }
                for (int k = 0; k < 3; ++k)
                    pixel[k] =
                        static_cast<std::uint8_t>(std::clamp(sum[k] * share + 0.5f, 0.0f, 255.0f));
            }
        return out;
    }

  private:
    int width_, height_;
    std::vector<float> depth_;
    std::vector<Colour> colour_;
};

Colour colourOf(const double* rgb) {
    return {static_cast<float>(rgb[0]), static_cast<float>(rgb[1]), static_cast<float>(rgb[2])};
}

void checkRows(const py::array& array, py::ssize_t columns, const char* name) {
    if (array.ndim() != 2 || array.shape(1) != columns)
        throw py::value_error(std::string("rasterize: ") + name + " must have shape (n, " +
                              std::to_string(columns) + ")");
}

// Indices into points, all checked before drawing.
void checkIndices(const py::array_t<std::int64_t, kIdArray>& indices, py::ssize_t count) {
    const std::int64_t* index = indices.data();
    for (py::ssize_t i = 0; i < indices.size(); ++i)
        if (index[i] < 0 || index[i] >= count)
            throw py::index_error("rasterize: point " + std::to_string(index[i]) +
                                  " is not one of " + std::to_string(count));
}

py::array_t<std::uint8_t> rasterize(const Points& points,
                                    const py::array_t<std::int64_t, kIdArray>& triangles,
                                    const py::array_t<double, kIdArray>& colours,
                                    const py::array_t<std::int64_t, kIdArray>& lines,
                                    const py::array_t<double, kIdArray>& lineColours,
                                    double lineLift, int size, int samples,
                                    std::array<double, 3> background) {
    checkRows(points, 3, "points");
    checkRows(triangles, 3, "triangles");
    checkRows(colours, 3, "colours");
    checkRows(lines, 2, "lines");
    if (colours.shape(0) != triangles.shape(0))
        throw py::value_error("rasterize: one colour per triangle");
    const bool oneLineColour = lineColours.ndim() == 1 && lineColours.shape(0) == 3;
    if (!oneLineColour && (lineColours.ndim() != 2 || lineColours.shape(0) != lines.shape(0) ||
                           lineColours.shape(1) != 3))
        throw py::value_error("rasterize: line_colour must have shape (3,) or (lines, 3)");
    if (size < 1 || samples < 1 || size > 1 << 14 || samples > 8)
        throw py::value_error("rasterize: size must be 1 .. 16384 pixels and samples 1 .. 8");
    checkIndices(triangles, points.shape(0));
    checkIndices(lines, points.shape(0));
    Canvas canvas(size * samples, size * samples, colourOf(background.data()));
    const double* point = points.data();
    const std::int64_t* corner = triangles.data();
    for (py::ssize_t t = 0; t < triangles.shape(0); ++t, corner += 3)
        canvas.triangle(point + 3 * corner[0], point + 3 * corner[1], point + 3 * corner[2],
                        colourOf(colours.data() + 3 * t));
    const std::int64_t* end = lines.data();
    for (py::ssize_t e = 0; e < lines.shape(0); ++e, end += 2)
        canvas.line(point + 3 * end[0], point + 3 * end[1],
                    colourOf(lineColours.data() + (oneLineColour ? 0 : 3 * e)), samples, lineLift);
    return canvas.image(samples);
}

} // namespace

void bindRaster(py::module_& m) {
    m.def("rasterize", &rasterize, py::arg("points"), py::arg("triangles"), py::arg("colours"),
          py::arg("lines"), py::arg("line_colour"), py::arg("line_lift"), py::arg("size"),
          py::arg("samples"), py::arg("background"),
          "A size x size RGB image (uint8) of flat-coloured triangles and lines over points given "
          "as (x, y) on a canvas samples times finer (y down) and a depth growing towards the "
          "viewer; lines (one colour, or one per line) show in front of surfaces up to line_lift "
          "deeper.");
}

} // namespace gorvin::native
