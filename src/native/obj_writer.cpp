// Writes points and polygon faces as Wavefront OBJ text: coordinates in the shortest form that
// reads back to the same double, spelled as Python's repr spells floats, and 1-based indices.
#include "native.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

namespace gorvin::native {

namespace {

// Appends repr(value): shortest round-trip digits, positional when the decimal exponent is in
// -4 .. 15 (with ".0" for integral values), otherwise d.ddde+XX.
void appendRepr(std::string& out, double value) {
    if (std::isnan(value)) return void(out += "nan");
    if (std::isinf(value)) return void(out += value < 0 ? "-inf" : "inf");
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = text.find('e');
    const bool negative = text[0] == '-';
    std::string digits(text.substr(negative ? 1 : 0, e - (negative ? 1 : 0)));
    if (digits.size() > 1) digits.erase(1, 1); // the point after the first digit
    const int exponent = std::stoi(std::string(text.substr(e + 1)));
    if (negative) out += '-';
    const int point = exponent + 1; // digits before the decimal point
    if (exponent < -4 || exponent >= 16) {
        out += digits[0];
        if (digits.size() > 1) out.append(".").append(digits, 1);
        out += exponent < 0 ? "e-" : "e+";
        if (std::abs(exponent) < 10) out += '0';
        out += std::to_string(std::abs(exponent));
    } else if (point <= 0) {
        out.append("0.").append(static_cast<std::size_t>(-point), '0').append(digits);
    } else if (static_cast<std::size_t>(point) >= digits.size()) {
        out.append(digits)
            .append(static_cast<std::size_t>(point) - digits.size(), '0')
            .append(".0");
    } else {
        out.append(digits, 0, static_cast<std::size_t>(point))
            .append(".")
            .append(digits, static_cast<std::size_t>(point));
    }
}

void appendInt(std::string& out, std::int64_t value) {
    char buffer[24];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

[[noreturn]] void raiseOsError(const std::string& path) {
    PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
    throw py::error_already_set();
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

void writeObj(const std::string& path, const py::array_t<double, kIdArray>& points,
              py::array_t<std::int64_t, kIdArray> corners,
              py::array_t<std::int64_t, kIdArray> offsets) {
    if (points.ndim() != 2 || points.shape(1) != 3)
        throw py::value_error("write_obj: points must have shape (n, 3)");
    const FaceArrays faces = checkedFaces(std::move(corners), std::move(offsets));
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) raiseOsError(path);
    constexpr std::size_t kChunk = 1 << 20;
    std::string out = "# written by gorvinpy\n";
    out.reserve(kChunk + 256);
    auto flush = [&](bool always) {
        if (!always && out.size() < kChunk) return;
        if (std::fwrite(out.data(), 1, out.size(), file.get()) != out.size()) raiseOsError(path);
        out.clear();
    };
    const double* point = points.data();
    for (py::ssize_t i = 0; i < points.shape(0); ++i, point += 3) {
        out += "v ";
        appendRepr(out, point[0]);
        out += ' ';
        appendRepr(out, point[1]);
        out += ' ';
        appendRepr(out, point[2]);
        out += '\n';
        flush(false);
    }
    for (std::size_t f = 0; f < faces.count(); ++f) {
        out += 'f';
        for (const std::int64_t* corner = faces.begin(f); corner != faces.end(f); ++corner) {
            out += ' ';
            appendInt(out, *corner + 1);
        }
        out += '\n';
        flush(false);
    }
    flush(true);
    if (std::fflush(file.get()) != 0) raiseOsError(path);
}

} // namespace

void bindObjWriter(py::module_& m) {
    m.def("write_obj", &writeObj, py::arg("path"), py::arg("points"), py::arg("corners"),
          py::arg("offsets"),
          "Writes points (n, 3) and faces (face f: corners[offsets[f]:offsets[f+1]], 0-based) as "
          "a Wavefront OBJ file.");
}

} // namespace gorvin::native
