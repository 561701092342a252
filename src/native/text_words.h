// Text read as Python reads a text file and splits its lines: UTF-8, lines ending at "\n", "\r" or
// "\r\n", words between runs of Unicode white space, '#' starting a comment; numbers as float()
// and int() read them. The mesh file readers (mesh_text.cpp) are built on it, and raise a Fault
// where the text is not what they read.
#pragma once

#include "native.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gorvin::native {

using Words = std::vector<std::string_view>;

// A fault of the text at a line (0: the text as a whole).
struct Fault {
    std::size_t line;
    std::string message;
};

[[noreturn]] void fail(std::size_t line, std::string message);

// Where Python's decoder finds that the text is not UTF-8 (text.size() for a character the text
// ends inside), and why, in its words.
struct Utf8Fault {
    std::size_t at;
    std::string reason;
};
std::optional<Utf8Fault> utf8Fault(std::string_view text);

// The lines of the text, one after another; the line number counts from 1. Text that is not UTF-8
// fails, at line 0, once a line needs the bytes where Python's text reader, which decodes 8192
// bytes at a time, would find it out: so a fault of the text itself comes before the faults of
// the lines read before it just as Python's reading gives them.
class TextLines {
  public:
    explicit TextLines(std::string_view text) : text_(text), fault_(utf8Fault(text)) {}

    // Appends the next line's words, its comment dropped; false at the end of the text.
    bool next(Words& words);
    std::size_t number() const { return number_; }

  private:
    // Fails if decoding the first `needed` bytes finds the fault (text_.size() + 1: all of the
    // text, and its end).
    void decode(std::size_t needed) const;

    std::string_view text_;
    std::optional<Utf8Fault> fault_;
    std::size_t at_ = 0;
    std::size_t number_ = 0;
};

// float(word); nothing where float() refuses the word.
std::optional<double> real(std::string_view word);
// int(word), clamped to the int64 range; nothing where int() refuses the word.
std::optional<std::int64_t> integer(std::string_view word);
// str(int(word)) of a word that int() reads, beyond the int64 range too.
std::string integerText(std::string_view word);
// repr(word).
std::string quoted(std::string_view word);

} // namespace gorvin::native
