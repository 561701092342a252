// Every registration step of the module, in the files that own them. module.cpp calls them in
// the one order that fixes the module's classes, members and overloads.
#pragma once

#include <pybind11/pybind11.h>

namespace gorvin::python {

namespace py = pybind11;

// Class objects, created before any member is added.
void declareOrbit(py::module_& m);
void declareIslet(py::module_& m);
void declareInputHooks(py::module_& m);
void declareRawDart(py::module_& m);
void declareDart(py::module_& m);
void declareDartIterator(py::module_& m);
void declareGMap(py::module_& m);
void declareModeler(py::module_& m);
void declareContext(py::module_& m);
void declareMultiplicity(py::module_& m);
void declareRuleNodeLeft(py::module_& m);
void declareRuleNodeRight(py::module_& m);
void declareRuleResult(py::module_& m);
void declareEbd(py::module_& m);
void declareExpression(py::module_& m);
void declareRule(py::module_& m);
void declareRowPattern(py::module_& m);
void declareExpressionTable(py::module_& m);
void declareGeometryCommon(py::module_& m);

// Members, class by class.
void bindGeometryCommon(py::module_& m);
void bindOrbit(py::module_& m);
void bindIslet(py::module_& m);
void bindEmbeddingDescriptors(py::module_& m); // creates and fills EbdDart .. Ebd0123
void bindInputHooks(py::module_& m);
void bindRawDart(py::module_& m);
void bindDart(py::module_& m);
void bindDartIterator(py::module_& m);
void bindGMap(py::module_& m);
void bindModeler(py::module_& m);
void bindContext(py::module_& m);
void bindMultiplicity(py::module_& m);
void bindRuleNodeLeft(py::module_& m);
void bindRuleNodeRight(py::module_& m);
void bindRuleResult(py::module_& m);
void bindEbd(py::module_& m);
void bindExpression(py::module_& m);
void bindExpressionHelpers(py::module_& m); // creates and fills Expr3DEbdDart .. Expr3DEbd0123
void bindRule(py::module_& m);
void bindRowPattern(py::module_& m);
void bindExpressionTable(py::module_& m);

// Members that other files contribute to a class, at their place in its sequence.
void bindRawDartEmbeddings(py::module_& m);
void bindDartEmbeddings(py::module_& m);
void bindGMapEmbeddings(py::module_& m);
void bindGMapApply(py::module_& m);
void bindGMapExtraction(py::module_& m);

// Module-level functions.
void bindApplyRule(py::module_& m);
void bindOrbitFunctions(py::module_& m); // orbit, islet, sorbit

// Last: makes every class of the module refuse instances that __init__ never filled.
void refuseUninitialisedInstances(py::module_& m);

} // namespace gorvin::python
