// The kernel instantiated without an interpreter: embedding values are shared ints.
#pragma once

#include <memory>
#include <string>

namespace bench {

struct PlainEmbedding {
    using Value = std::shared_ptr<int>;
    static std::string typeName() { return "int"; }
    static Value create() { return std::make_shared<int>(0); }
};

} // namespace bench
