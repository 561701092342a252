// Kernel errors. They carry no message and do not derive from std::exception, so the bindings
// report every one of them as RuntimeError("Caught an unknown exception!"). The kernel writes
// nothing: an error that comes with a line on standard error names it in `diagnostic`, and the
// binding that runs the application writes it.
#pragma once

namespace gorvin {

enum class Diagnostic {
    none,
    notEnoughHooks,   // "ERROR NOT ENOUGH HOOKS!!": the hook columns differ from the hook nodes
    notIsomorphHooks, // "ERROR NOT ISOMORPH HOOKS!!": the hooks of a row step apart
};

struct GorvinException {
    Diagnostic diagnostic = Diagnostic::none;
};
struct GorvinUnexistentDartException : GorvinException {};
struct GorvinDimensionException : GorvinException {};
struct GorvinRuleAlreadyCompiled : GorvinException {};
struct GorvinRefoldPatternException : GorvinException {};
struct GorvinInputHookWrongSizeException : GorvinException {};
struct GorvinUnfoundLeftNodeExpcetion : GorvinException {};
struct GorvinUnfoundRightNodeExpcetion : GorvinException {};

} // namespace gorvin
