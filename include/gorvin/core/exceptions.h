// Kernel errors. They carry no message and do not derive from std::exception, so the bindings
// report every one of them as RuntimeError("Caught an unknown exception!").
#pragma once

namespace gorvin {

struct GorvinException {};
struct GorvinUnexistentDartException : GorvinException {};
struct GorvinDimensionException : GorvinException {};
struct GorvinRuleAlreadyCompiled : GorvinException {};
struct GorvinRefoldPatternException : GorvinException {};
struct GorvinInputHookWrongSizeException : GorvinException {};
struct GorvinUnfoundLeftNodeExpcetion : GorvinException {};
struct GorvinUnfoundRightNodeExpcetion : GorvinException {};

} // namespace gorvin
