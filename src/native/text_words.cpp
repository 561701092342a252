#include "text_words.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace gorvin::native {

namespace {

// What a byte is to the splitting of a line into words.
enum ByteKind : unsigned char { kWordByte, kSpace, kStop, kWide };

constexpr std::array<ByteKind, 256> kByteKinds = [] {
    std::array<ByteKind, 256> kinds{};
    for (unsigned c = 0; c < 256; ++c)
        kinds[c] = c >= 0x80                              ? kWide
                   : c == '\n' || c == '\r' || c == '#'   ? kStop
                   : c == ' ' || (c >= '\t' && c <= '\f') ? kSpace
                   : c >= 0x1c && c <= 0x1f               ? kSpace
                                                          : kWordByte;
    return kinds;
}();

ByteKind kindOf(char c) {
    return kByteKinds[static_cast<unsigned char>(c)];
}

// The byte length of the white space character that starts at the byte p, which is no ASCII one
// (str.split() splits there), 0 if it is none.
std::size_t wideSpace(const char* p, const char* end) {
    const auto byte = [&](std::ptrdiff_t i) {
        return end - p > i ? static_cast<unsigned char>(p[i]) : 0u;
    };
    const unsigned second = byte(1), third = byte(2);
    switch (byte(0)) {
    case 0xC2: // U+0085, U+00A0
        return second == 0x85 || second == 0xA0 ? 2 : 0;
    case 0xE1: // U+1680
        return second == 0x9A && third == 0x80 ? 3 : 0;
    case 0xE2: // U+2000..U+200A, U+2028, U+2029, U+202F, U+205F
        return (second == 0x80 &&
                (third <= 0x8A || third == 0xA8 || third == 0xA9 || third == 0xAF)) ||
                       (second == 0x81 && third == 0x9F)
                   ? 3
                   : 0;
    case 0xE3: // U+3000
        return second == 0x80 && third == 0x80 ? 3 : 0;
    default:
        return 0;
    }
}

// The byte length of the UTF-8 character that starts with this byte (1 for a byte that starts
// none).
std::size_t sequenceLength(char lead) {
    const auto c = static_cast<unsigned char>(lead);
    return c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
}

bool lineEnd(char c) {
    return c == '\n' || c == '\r';
}

// A plain word holds ASCII characters only, and no '_': where from_chars refuses one, so do float()
// and int().
bool plain(std::string_view word) {
    for (char c : word)
        if (static_cast<unsigned char>(c) >= 0x80 || c == '_') return false;
    return true;
}

enum class Read { value, refused, outOfRange };

// The word read by from_chars, which must take all of it: refused where it does not, which is
// final only for a plain word. from_chars takes no '+', so one is dropped first, and it takes the
// "nan(...)" that float() refuses.
template <class T> Read fromChars(std::string_view word, T& value) {
    const bool plus = !word.empty() && word[0] == '+';
    if (plus) word.remove_prefix(1);
    if (word.empty() || word[0] == '+' || (plus && word[0] == '-')) return Read::refused;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (end != word.data() + word.size()) return Read::refused;
    if (error != std::errc{}) return Read::outOfRange;
    if constexpr (std::is_floating_point_v<T>)
        if (std::isnan(value) && word.back() == ')') return Read::refused;
    return Read::value;
}

// convert(str(word)), float() or int() as Python has it; nothing on a ValueError.
std::optional<py::object> converted(PyObject* (*convert)(PyObject*), std::string_view word) {
    const py::str text(word.data(), word.size());
    if (PyObject* value = convert(text.ptr())) return py::reinterpret_steal<py::object>(value);
    if (!PyErr_ExceptionMatches(PyExc_ValueError)) throw py::error_already_set();
    PyErr_Clear();
    return std::nullopt;
}

// The word as a number of type T: read by from_chars where it can be, else by Python's convert,
// whose result take turns into a T.
template <class T, class Take>
std::optional<T> number(std::string_view word, PyObject* (*convert)(PyObject*), Take take) {
    T value{};
    const Read read = fromChars(word, value);
    if (read == Read::value) return value;
    if (read == Read::refused && plain(word)) return std::nullopt;
    const auto result = converted(convert, word);
    return result ? std::optional<T>(take(result->ptr())) : std::nullopt;
}

} // namespace

void fail(std::size_t line, std::string message) {
    throw Fault{line, std::move(message)};
}

std::optional<Utf8Fault> utf8Fault(std::string_view text) {
    const auto* const start = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = start + text.size();
    const auto* p = start;
    while (p < end) {
        std::uint64_t block = 0;
        if (end - p >= 8 && (std::memcpy(&block, p, 8), (block & 0x8080808080808080u) == 0)) {
            p += 8;
            continue;
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        // The sequence's length, and the range of its second byte.
        std::ptrdiff_t length = 0;
        unsigned low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            low = c == 0xE0 ? 0xA0 : low;   // no overlong form
            high = c == 0xED ? 0x9F : high; // no surrogate
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            low = c == 0xF0 ? 0x90 : low;   // no overlong form
            high = c == 0xF4 ? 0x8F : high; // nothing past U+10FFFF
        } else {
            return Utf8Fault{static_cast<std::size_t>(p - start), "invalid start byte"};
        }
        for (std::ptrdiff_t i = 1; i < length; ++i) {
            if (end - p == i) return Utf8Fault{text.size(), "unexpected end of data"};
            const unsigned next = p[i];
            if (i == 1 ? next < low || next > high : (next & 0xC0) != 0x80)
                return Utf8Fault{static_cast<std::size_t>(p + i - start),
                                 "invalid continuation byte"};
        }
        p += length;
    }
    return std::nullopt;
}

void TextLines::decode(std::size_t needed) const {
    constexpr std::size_t kBlock = 8192;
    if (fault_ && (fault_->at == text_.size() ? needed > text_.size()
                                              : fault_->at / kBlock <= (needed - 1) / kBlock))
        fail(0, "not a text file (" + fault_->reason + ")");
}

bool TextLines::next(Words& words) {
    if (at_ == text_.size()) return decode(at_ + 1), false;
    ++number_;
    const char* const begin = text_.data();
    const char* const end = begin + text_.size();
    const char* p = begin + at_;
    while (true) {
        while (p < end && kindOf(*p) == kSpace)
            ++p;
        if (p == end || kindOf(*p) == kStop) break;
        if (const std::size_t space = kindOf(*p) == kWide ? wideSpace(p, end) : 0) {
            p += space;
            continue;
        }
        const char* const word = p++;
        while (p < end && (kindOf(*p) == kWordByte || (kindOf(*p) == kWide && !wideSpace(p, end))))
            ++p;
        words.emplace_back(word, static_cast<std::size_t>(p - word));
    }
    while (p < end && !lineEnd(*p)) // the comment
        ++p;
    const bool crlf = p < end && *p == '\r' && end - p > 1 && p[1] == '\n';
    const bool lone = p < end && *p == '\r' && !crlf;
    p += crlf;
    at_ = static_cast<std::size_t>(p - begin) + (p < end);
    if (!fault_) return true;
    // The line is known to end once its end is decoded, and for a lone "\r" the character after
    // it too: the end of the text, where it has none.
    if (p == end || (lone && at_ == text_.size()))
        decode(text_.size() + 1);
    else
        decode(at_ + (lone ? sequenceLength(text_[at_]) : 0));
    return true;
}

std::optional<double> real(std::string_view word) {
    return number<double>(word, PyFloat_FromString,
                          [](PyObject* value) { return PyFloat_AS_DOUBLE(value); });
}

std::optional<std::int64_t> integer(std::string_view word) {
    return number<std::int64_t>(word, PyNumber_Long, [](PyObject* value) {
        int overflow = 0;
        const long long wide = PyLong_AsLongLongAndOverflow(value, &overflow);
        if (overflow > 0) return std::numeric_limits<std::int64_t>::max();
        if (overflow < 0) return std::numeric_limits<std::int64_t>::min();
        return static_cast<std::int64_t>(wide);
    });
}

std::string integerText(std::string_view word) {
    return py::str(*converted(PyNumber_Long, word)).cast<std::string>();
}

std::string quoted(std::string_view word) {
    return py::repr(py::str(word.data(), word.size())).cast<std::string>();
}

} // namespace gorvin::native
