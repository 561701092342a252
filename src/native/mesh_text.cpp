// The OBJ and OFF readers: the points of a file, and its faces as flat corner and offset arrays.
// A file that is no polygon mesh raises MeshTextError(line, message), line 0 for the file as a
// whole; gorvinpy names the file with it.
#include "text_words.h"

#include <sys/stat.h>

#include <cstdio>
#include <limits>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace gorvin::native {

namespace {

// The OBJ statements that carry no polygon geometry; they are read and ignored.
bool ignoredObjStatement(std::string_view keyword) {
    static const std::unordered_set<std::string_view> ignored{
        "vt",    "vn",       "vp",       "l",      "p",      "g",      "o",          "s",
        "mg",    "usemtl",   "mtllib",   "maplib", "usemap", "lod",    "shadow_obj", "trace_obj",
        "bevel", "c_interp", "d_interp", "ctech",  "stech",  "cstype", "deg",        "bmat",
        "step",  "curv",     "curv2",    "surf",   "parm",   "trim",   "hole",       "scrv",
        "sp",    "end",      "con",      "call",   "csh"};
    return ignored.count(keyword) != 0;
}

struct Mesh {
    std::vector<double> points;
    std::vector<std::int64_t> corners;
    std::vector<std::int64_t> offsets{0};

    // The three coordinates at words[first...]; words past them are ignored.
    void addPoint(const Words& words, std::size_t first, std::size_t line) {
        if (words.size() < first + 3)
            fail(line, "a vertex needs 3 coordinates, got " + std::to_string(words.size() - first));
        for (std::size_t axis = first; axis < first + 3; ++axis) {
            const auto value = real(words[axis]);
            if (!value) fail(line, quoted(words[axis]) + " is not a number");
            points.push_back(*value);
        }
    }
    std::int64_t pointCount() const { return static_cast<std::int64_t>(points.size() / 3); }
    std::size_t faceCount() const { return offsets.size() - 1; }
    void closeFace() { offsets.push_back(static_cast<std::int64_t>(corners.size())); }
    // "face names vertex N, ..." where N is the index as the file writes it.
    [[noreturn]] void failIndex(std::size_t line, const std::string& index) const {
        fail(line, "face names vertex " + index + ", but the file has " +
                       std::to_string(pointCount()) + " vertices");
    }

    py::tuple arrays() {
        return py::make_tuple(asArray(std::move(points), 3), asArray(std::move(corners)),
                              asArray(std::move(offsets)));
    }
};

// The next OBJ statement's words, lines ending in a backslash continued on the next, and the
// number of its first line; false at the end of the text.
bool nextStatement(TextLines& lines, Words& words, std::size_t& start) {
    words.clear();
    start = 0;
    for (std::size_t before = 0; lines.next(words); before = words.size()) {
        start = start ? start : lines.number();
        if (words.size() > before && words.back().back() == '\\') {
            words.back().remove_suffix(1);
            if (words.back().empty()) words.pop_back();
        } else if (words.empty()) {
            start = 0;
        } else {
            return true;
        }
    }
    return !words.empty();
}

Mesh readObj(std::string_view text) {
    Mesh mesh;
    TextLines lines(text);
    Words words;
    std::size_t line = 0;
    // Faces naming points given later, checked at the end: (face, line); and the indices past
    // the int64 range among their corners, by corner.
    std::vector<std::pair<std::size_t, std::size_t>> ahead;
    std::unordered_map<std::size_t, std::string_view> huge;
    while (nextStatement(lines, words, line)) {
        const std::string_view keyword = words[0];
        if (keyword == "v") {
            mesh.addPoint(words, 1, line);
        } else if (keyword == "f" || keyword == "fo") {
            if (words.size() < 4)
                fail(line,
                     "a face needs at least 3 vertices, got " + std::to_string(words.size() - 1));
            const std::int64_t defined = mesh.pointCount();
            bool later = false;
            for (std::size_t i = 1; i < words.size(); ++i) {
                const std::string_view word = words[i].substr(0, words[i].find('/'));
                const auto index = integer(word);
                if (!index) fail(line, quoted(word) + " is not an integer vertex index");
                if (*index == 0) fail(line, "vertex index 0 (OBJ indices start at 1)");
                if (*index < -defined)
                    fail(line, "relative index " + integerText(word) +
                                   " goes back past the first vertex");
                if (*index == std::numeric_limits<std::int64_t>::max())
                    huge.emplace(mesh.corners.size(), word);
                later = later || *index > defined;
                mesh.corners.push_back(*index > 0 ? *index - 1 : defined + *index);
            }
            mesh.closeFace();
            if (later) ahead.emplace_back(mesh.faceCount() - 1, line);
        } else if (!ignoredObjStatement(keyword)) {
            fail(line, "unknown statement " + quoted(keyword));
        }
    }
    for (const auto& [face, faceLine] : ahead)
        for (auto c = static_cast<std::size_t>(mesh.offsets[face]);
             c < static_cast<std::size_t>(mesh.offsets[face + 1]); ++c)
            if (mesh.corners[c] >= mesh.pointCount())
                mesh.failIndex(faceLine, huge.count(c) ? integerText(huge.at(c))
                                                       : std::to_string(mesh.corners[c] + 1));
    return mesh;
}

// Refuses the first line of an OFF file, whose first word is no number, unless it starts with
// the keyword of a 3D ASCII OFF file.
void checkOffKeyword(const Words& words, std::size_t line) {
    const std::string_view keyword = words[0];
    if (keyword.size() < 3 || keyword.substr(keyword.size() - 3) != "OFF")
        fail(line, "expected the OFF header, got " + quoted(keyword));
    const std::string_view prefix = keyword.substr(0, keyword.size() - 3);
    if (prefix.find_first_of("4n") != std::string_view::npos)
        fail(line, std::string(keyword) + " is not a 3D OFF file");
    if (prefix.find_first_not_of("STCN") != std::string_view::npos)
        fail(line, "unknown OFF variant " + quoted(keyword));
    if (words.size() > 1 &&
        py::str(words[1].data(), words[1].size()).attr("upper")().cast<std::string>() == "BINARY")
        fail(line, "binary OFF files are not supported");
}

// The next line that has words (line: its number); false, line unchanged, at the end.
bool nextWords(TextLines& lines, Words& words, std::size_t& line) {
    words.clear();
    while (lines.next(words))
        if (!words.empty()) return line = lines.number(), true;
    return false;
}

// Adds the face of an OFF face line to mesh: its size, then its corners; colours after them are
// ignored.
void addOffFace(Mesh& mesh, const Words& words, std::size_t line) {
    const auto size = integer(words[0]);
    if (!size) fail(line, quoted(words[0]) + " is not an integer face size");
    if (*size < 3) fail(line, "a face needs at least 3 vertices, got " + integerText(words[0]));
    if (words.size() - 1 < static_cast<std::uint64_t>(*size))
        fail(line, "face lists " + std::to_string(words.size() - 1) + " of its " +
                       integerText(words[0]) + " vertices");
    const std::size_t first = mesh.corners.size();
    for (std::size_t i = 1; i <= static_cast<std::size_t>(*size); ++i) {
        const auto index = integer(words[i]);
        if (!index) fail(line, quoted(words[i]) + " is not an integer vertex index");
        mesh.corners.push_back(*index);
    }
    for (std::size_t i = 1; i <= static_cast<std::size_t>(*size); ++i)
        if (mesh.corners[first + i - 1] < 0 || mesh.corners[first + i - 1] >= mesh.pointCount())
            mesh.failIndex(line, integerText(words[i]));
    mesh.closeFace();
}

Mesh readOff(std::string_view text) {
    Mesh mesh;
    TextLines lines(text);
    Words words;
    std::size_t line = 0;
    if (!nextWords(lines, words, line)) fail(0, "empty file");
    std::size_t first = 0;
    if (!real(words[0])) {
        checkOffKeyword(words, line);
        first = 1;
        if (words.size() == 1) nextWords(lines, words, line), first = 0;
    }
    // The vertex and face counts, and their words.
    std::int64_t counts[2] = {-1, -1};
    std::string_view countWords[2];
    for (std::size_t i = 0; i < 2 && first + i < words.size(); ++i) {
        countWords[i] = words[first + i];
        const auto count = integer(countWords[i]);
        if (!count) fail(line, quoted(countWords[i]) + " is not an integer count");
        counts[i] = *count;
    }
    if (counts[0] < 0 || counts[1] < 0) fail(line, "expected the vertex and face counts");
    const auto endsEarly = [&](std::size_t which, const char* what) {
        fail(line, "file ends early: expected " + integerText(countWords[which]) + " " + what);
    };
    for (std::int64_t v = 0; v < counts[0]; ++v) {
        if (!nextWords(lines, words, line)) endsEarly(0, "vertices");
        mesh.addPoint(words, 0, line);
    }
    for (std::int64_t f = 0; f < counts[1]; ++f) {
        if (!nextWords(lines, words, line)) endsEarly(1, "faces");
        addOffFace(mesh, words, line);
    }
    if (nextWords(lines, words, line))
        fail(line, "unexpected content after the " + std::to_string(counts[1]) + " faces");
    return mesh;
}

// The bytes of the file; OSError as open() raises it when it cannot be read.
std::string readFile(const std::string& path) {
    const auto raise = [&] {
        PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
        throw py::error_already_set();
    };
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    if (!file) raise();
    // One read takes a file that stays the size it has now.
    struct stat status {};
    const std::size_t block =
        (fstat(fileno(file.get()), &status) == 0 ? static_cast<std::size_t>(status.st_size) : 0) +
        (1 << 16);
    std::string text;
    for (std::size_t size = 0;; size = text.size()) {
        text.resize(size + block);
        text.resize(size + std::fread(text.data() + size, 1, block, file.get()));
        if (text.size() < size + block) break;
    }
    if (std::ferror(file.get())) raise();
    return text;
}

} // namespace

void bindMeshText(py::module_& m) {
    const py::object error = py::reinterpret_steal<py::object>(PyErr_NewExceptionWithDoc(
        "gorvinpy._native.MeshTextError", "A mesh file that is not one: args (line, message).",
        PyExc_ValueError, nullptr));
    m.attr("MeshTextError") = error;
    m.def(
        "read_mesh_text",
        [error](const std::string& path, const std::string& format) {
            if (format != "obj" && format != "off")
                throw py::value_error("read_mesh_text: format must be 'obj' or 'off', not '" +
                                      format + "'");
            const std::string text = readFile(path);
            try {
                return (format == "obj" ? readObj(text) : readOff(text)).arrays();
            } catch (const Fault& fault) {
                PyErr_SetObject(error.ptr(), py::make_tuple(fault.line, fault.message).ptr());
                throw py::error_already_set();
            }
        },
        py::arg("path"), py::arg("format"),
        "(points (n, 3), corners, offsets) of an 'obj' or 'off' file (face f: "
        "corners[offsets[f]:offsets[f+1]]); MeshTextError(line, message) for a file that is no "
        "polygon mesh.");
}

} // namespace gorvin::native
