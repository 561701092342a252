// The module definition: attributes, then every class object, then their members class by class,
// then the module-level functions. This sequence is the module's registration order.
#include "registry.h"

namespace py = pybind11;
using namespace gorvin::python;

PYBIND11_MODULE(gorvinpy_bin, m) {
    m.doc() = "Python bindings for Gorvin library.";
    m.attr("__version__") = "1.3a";
    m.attr("__author__") = "Gorvin developers";

    declareOrbit(m);
    declareIslet(m);
    declareInputHooks(m);
    declareRawDart(m);
    declareDart(m);
    declareDartIterator(m);
    declareGMap(m);
    declareModeler(m);
    declareContext(m);
    declareMultiplicity(m);
    declareRuleNodeLeft(m);
    declareRuleNodeRight(m);
    declareRuleResult(m);
    declareEbd(m);
    declareExpression(m);
    declareRule(m);
    declareRowPattern(m);
    declareExpressionTable(m);
    declareGeometryCommon(m);

    bindGeometryCommon(m);
    bindOrbit(m);
    bindIslet(m);
    bindEmbeddingDescriptors(m);
    bindInputHooks(m);
    bindRawDart(m);
    bindDart(m);
    bindDartIterator(m);
    bindGMap(m);
    bindModeler(m);
    bindContext(m);
    bindMultiplicity(m);
    bindRuleNodeLeft(m);
    bindRuleNodeRight(m);
    bindRuleResult(m);
    bindEbd(m);
    bindExpression(m);
    bindExpressionHelpers(m);
    bindRule(m);
    bindRowPattern(m);
    bindExpressionTable(m);

    bindApplyRule(m);
    bindOrbitFunctions(m);

    refuseUninitialisedInstances(m);
}
