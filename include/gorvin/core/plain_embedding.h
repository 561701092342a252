// PlainEmbedding: the embedding policy that instantiates the kernel without an interpreter, for
// C++ programs on the kernel alone (the kernel tests and the benchmarks). Values are shared ints;
// a deferred slot reads as a new int holding its pattern's number.
#pragma once

#include <memory>
#include <string>

namespace gorvin {

struct PlainEmbedding {
    using Value = std::shared_ptr<int>;
    static std::string typeName() { return "int"; }
    using Deferred = int;
    static Value create() { return std::make_shared<int>(0); }
    static Value make(Deferred value) { return std::make_shared<int>(value); }
};

} // namespace gorvin
