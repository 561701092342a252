// Fast readers of well-formed OBJ and OFF text: the points, and the faces as flat corner and
// offset arrays. They read exactly what the Python readers of gorvinpy.meshio accept and give up
// (return None) on anything else: a fault, a byte outside printable ASCII, a line continuation, a
// number in a form they do not parse. The Python readers then read the file and name the fault.
#include "native.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <unordered_set>

namespace gorvin::native {

namespace {

struct GiveUp {};

using Words = std::vector<std::string_view>;

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// The text's lines as words, comments from '#' dropped; the line number counts from 1.
class Lines {
  public:
    explicit Lines(std::string_view text) : text_(text) {}

    // The next line's words (empty for a blank line); false at the end of the text.
    bool next(Words& words) {
        if (at_ >= text_.size()) return false;
        ++number_;
        words.clear();
        bool comment = false;
        std::size_t word = std::string_view::npos;
        for (; at_ < text_.size(); ++at_) {
            const char c = text_[at_];
            if (c == '\n') break;
            if (static_cast<unsigned char>(c) >= 0x7f) throw GiveUp{};
            if (c == '\r' && (at_ + 1 == text_.size() || text_[at_ + 1] != '\n')) throw GiveUp{};
            if (comment) continue;
            const bool space = blank(c) || c == '\r';
            if (!space && static_cast<unsigned char>(c) < 0x20) throw GiveUp{};
            if (c == '#') comment = true;
            if ((space || comment) && word != std::string_view::npos) {
                words.push_back(text_.substr(word, at_ - word));
                word = std::string_view::npos;
            } else if (!space && !comment && word == std::string_view::npos) {
                word = at_;
            }
        }
        if (word != std::string_view::npos) words.push_back(text_.substr(word, at_ - word));
        ++at_;
        return true;
    }

  private:
    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t number_ = 0;
};

// A word with an optional sign, all of it a number of the kind T; gives up otherwise.
template <class T> T number(std::string_view word) {
    const bool plus = !word.empty() && word[0] == '+';
    const std::string_view digits = word.substr(plus ? 1 : 0);
    if (digits.empty() || digits[0] == '+' || (plus && digits[0] == '-')) throw GiveUp{};
    for (char c : digits)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.' ||
              c == 'e' || c == 'E'))
            throw GiveUp{};
    T value{};
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size()) throw GiveUp{};
    return value;
}

struct Mesh {
    std::vector<double> points;
    std::vector<std::int64_t> corners;
    std::vector<std::int64_t> offsets{0};

    void addPoint(const Words& words, std::size_t first) {
        if (words.size() < first + 3) throw GiveUp{};
        for (std::size_t axis = 0; axis < 3; ++axis)
            points.push_back(number<double>(words[first + axis]));
    }
    std::int64_t pointCount() const { return static_cast<std::int64_t>(points.size() / 3); }
    void closeFace() { offsets.push_back(static_cast<std::int64_t>(corners.size())); }
    void checkCorners() const {
        for (std::int64_t corner : corners)
            if (corner < 0 || corner >= pointCount()) throw GiveUp{};
    }

    py::tuple arrays() {
        return py::make_tuple(asArray(std::move(points), 3), asArray(std::move(corners)),
                              asArray(std::move(offsets)));
    }
};

std::string readFile(const std::string& path) {
    std::ifstream stream(path, std::ios::binary | std::ios::ate);
    if (!stream) throw GiveUp{};
    std::string text(static_cast<std::size_t>(stream.tellg()), '\0');
    stream.seekg(0);
    if (!stream.read(text.data(), static_cast<std::streamsize>(text.size()))) throw GiveUp{};
    return text;
}

Mesh readObj(std::string_view text, const std::unordered_set<std::string_view>& ignored) {
    Mesh mesh;
    Lines lines(text);
    Words words;
    while (lines.next(words)) {
        if (words.empty()) continue;
        if (words.back().back() == '\\') throw GiveUp{};
        const std::string_view keyword = words[0];
        if (keyword == "v") {
            mesh.addPoint(words, 1);
        } else if (keyword == "f" || keyword == "fo") {
            if (words.size() < 4) throw GiveUp{};
            const std::int64_t defined = mesh.pointCount();
            for (std::size_t i = 1; i < words.size(); ++i) {
                const auto index = number<std::int64_t>(words[i].substr(0, words[i].find('/')));
                if (index == 0 || index < -defined) throw GiveUp{};
                mesh.corners.push_back(index > 0 ? index - 1 : defined + index);
            }
            mesh.closeFace();
        } else if (!ignored.count(keyword)) {
            throw GiveUp{};
        }
    }
    mesh.checkCorners();
    return mesh;
}

// True for an OFF keyword the reader accepts, without a "BINARY" after it.
bool offKeyword(const Words& words) {
    const std::string_view keyword = words[0];
    if (keyword.size() < 3 || keyword.substr(keyword.size() - 3) != "OFF") return false;
    if (keyword.substr(0, keyword.size() - 3).find_first_not_of("STCN") != std::string_view::npos)
        return false;
    if (words.size() < 2 || words[1].size() != 6) return true;
    std::string second(words[1]);
    for (char& c : second)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return second != "BINARY";
}

Mesh readOff(std::string_view text) {
    Mesh mesh;
    Lines lines(text);
    Words words;
    auto nextWords = [&] {
        while (lines.next(words))
            if (!words.empty()) return;
        throw GiveUp{};
    };
    nextWords();
    std::size_t first = 0;
    if (offKeyword(words)) {
        first = 1;
        if (words.size() == 1) nextWords(), first = 0;
    } else {
        number<double>(words[0]);
    }
    if (words.size() < first + 2) throw GiveUp{};
    const auto vertexCount = number<std::int64_t>(words[first]);
    const auto faceCount = number<std::int64_t>(words[first + 1]);
    if (vertexCount < 0 || faceCount < 0) throw GiveUp{};
    for (std::int64_t v = 0; v < vertexCount; ++v)
        nextWords(), mesh.addPoint(words, 0);
    for (std::int64_t f = 0; f < faceCount; ++f) {
        nextWords();
        const auto size = number<std::int64_t>(words[0]);
        if (size < 3 || static_cast<std::int64_t>(words.size()) < size + 1) throw GiveUp{};
        for (std::int64_t i = 1; i <= size; ++i)
            mesh.corners.push_back(number<std::int64_t>(words[i]));
        mesh.closeFace();
    }
    while (lines.next(words))
        if (!words.empty()) throw GiveUp{};
    mesh.checkCorners();
    return mesh;
}

// (points (n, 3), corners, offsets) of a well-formed file, or None.
py::object readMeshText(const std::string& path, const std::string& format,
                        const std::vector<std::string>& ignoredObjStatements) {
    try {
        const std::string text = readFile(path);
        if (format == "obj") {
            const std::unordered_set<std::string_view> ignored(ignoredObjStatements.begin(),
                                                               ignoredObjStatements.end());
            return readObj(text, ignored).arrays();
        }
        if (format == "off") return readOff(text).arrays();
        throw py::value_error("read_mesh_text: format must be 'obj' or 'off', not '" + format +
                              "'");
    } catch (const GiveUp&) {
        return py::none();
    }
}

} // namespace

void bindMeshText(py::module_& m) {
    m.def("read_mesh_text", &readMeshText, py::arg("path"), py::arg("format"),
          py::arg("ignored_obj_statements") = std::vector<std::string>{},
          "(points (n, 3), corners, offsets) of a well-formed 'obj' or 'off' file (face f: "
          "corners[offsets[f]:offsets[f+1]]), or None for anything the Python readers must "
          "look at.");
}

} // namespace gorvin::native
