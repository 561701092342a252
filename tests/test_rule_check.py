"""check_rule on the library's rules (none may have a finding), on a corpus of broken rules (each
reported with its node and dimensions, each witness reproducing), and draw_rule's pictures."""

import inspect

import pytest

import gorvinpy
import gorvinpy_bin as gorvin

E, F, P = gorvinpy.edge_midpoint, gorvinpy.face_centre, gorvinpy.position
EDGE, PART = (0, 2, 3), (0, 1, 2, 3)
BASES = {
    "split": (EDGE, {"n0": {2: 2, 3: 3}, "mid": {0: 1, 2: 2, 3: 3}}, [(0, "n0", "mid")], {"mid": E}),
    "triangulate": (
        PART,
        {"n0": {0: 0, 2: 2, 3: 3}, "corner": {1: 2, 3: 3}, "centre": {0: 1, 1: 2, 3: 3}},
        [(1, "n0", "corner"), (0, "corner", "centre")],
        {"corner": P, "centre": F},
    ),
    "quad": (
        PART,
        {"n0": {1: 1, 2: 2, 3: 3}, "edge_middle": {2: 2, 3: 3}, "spoke": {0: 2, 3: 3}, "centre": {0: 2, 1: 1, 3: 3}},
        [(0, "n0", "edge_middle"), (1, "edge_middle", "spoke"), (0, "spoke", "centre")],
        {"edge_middle": E, "spoke": E, "centre": F},
    ),
}
SAMPLE_ARGUMENTS = {"vector": (0.0, 0.0, 1.0), "points": [(0, 0, 0), (1, 0, 0), (1, 1, 0)], "faces": [[0, 1, 2]]}


def library_rules():
    """Every rule the package exports, made with sample arguments (found by name, so that new
    operations are checked too)."""
    for name in gorvinpy.__all__:
        make = getattr(gorvinpy, name)
        if not inspect.isfunction(make) or name in ("rule", "check_rule", "draw_rule"):
            continue
        parameters = inspect.signature(make).parameters.values()
        required = [p.name for p in parameters if p.default is inspect.Parameter.empty]
        if not all(p in SAMPLE_ARGUMENTS for p in required) or inspect.signature(make).return_annotation not in (
            "gorvinpy_bin.Rule3D",
            gorvin.Rule3D,
        ):
            continue
        yield name, make(**{p: SAMPLE_ARGUMENTS[p] for p in required})


def readme_rules():
    split = gorvinpy.rule("split edge", EDGE, {"n0": [-1, 2, 3], "mid": [1, 2, 3]}, [(0, "n0", "mid")], {"mid": E})
    spike = gorvinpy.rule(
        "spike",
        (0, 1, 2, 3),
        {"n0": [0, -1, 2, 3], "side": [-1, 2, -1, 3], "top": [1, 2, -1, 3]},
        [(1, "n0", "side"), (0, "side", "top")],
        {"side": P, "top": F + (0, 0, 0.5)},
    )
    return [("split edge", split), ("spike", spike)]


RULES = list(library_rules()) + readme_rules() + [("triangulate one face", gorvinpy.triangulate((0, 1, 3)))]


def test_every_exported_operation_is_checked():
    names = {name for name, _ in RULES}
    assert {"insert_vertex", "triangulate", "extrude", "quad_subdivide", "tetrahedralize", "sew_volumes"} <= names


@pytest.mark.parametrize("name, rule", RULES, ids=[name for name, _ in RULES])
def test_library_and_readme_rules_have_no_finding(name, rule):
    assert [str(finding) for finding in gorvinpy.check_rule(rule)] == []


def mutated(base, node, dim, label):
    """The base rule with one orbit label of one node changed (None: no link at that hook dimension)."""
    orbit, nodes, links, positions = BASES[base]
    labels = dict(nodes[node])
    if label is None:
        labels.pop(dim)
    else:
        labels[dim] = label
    return gorvinpy.rule(f"{base}: {node} {dim}->{label}", orbit, {**nodes, node: labels}, links, positions)


# Conditions broken, as the findings word them (see gorvinpy.checks.rule_conditions).
CONDITIONS = {
    "sources": "sources: the last link replaces the others",  # two links of one dimension at one node
    "alike": "so they must treat alpha",  # nodes joined by an explicit link differ in another dimension
    "apart": "labels two apart must come from hook dimensions two apart",
    "missing": "has no position expression",
    "spread": "darts of one vertex get different positions",
}

# (base rule, node, hook dimension, new label, dimensions of the broken condition at that node, condition)
LABELS = [
    (
        "split",
        "mid",
        2,
        None,
        (0, 2),
        "alike",
    ),  # mid free along 2 while n0 keeps its alpha2: explicit 0-link joins them
    ("split", "mid", 3, None, (0, 3), "alike"),
    ("split", "mid", 2, 3, (0, 2), "alike"),
    ("split", "mid", 3, 2, (0, 3), "alike"),
    ("split", "mid", 0, 2, (0, 2), "sources"),
    ("split", "mid", 0, 3, (0, 3), "sources"),
    ("triangulate", "centre", 3, None, (0, 3), "alike"),
    ("triangulate", "centre", 2, 2, (0, 2), "sources"),
    ("triangulate", "centre", 2, 3, (0, 3), "sources"),
    ("triangulate", "centre", 2, 1, (1, 3), "sources"),
    ("triangulate", "centre", 3, 1, (0, 3), "alike"),
    ("triangulate", "centre", 3, 2, (0, 2), "sources"),
    ("triangulate", "corner", 3, None, (1, 3), "alike"),
    ("triangulate", "corner", 1, None, (0, 2), "alike"),
    ("triangulate", "corner", 1, 3, (1, 3), "sources"),
    ("quad", "n0", 0, 0, (0, 2), "sources"),
    ("quad", "n0", 0, 3, (0, 3), "alike"),
    ("quad", "n0", 1, 0, (0, 2), "sources"),
    ("quad", "n0", 1, 3, (1, 3), "sources"),
    ("quad", "n0", 2, 1, (1, 3), "sources"),
    ("quad", "n0", 2, 3, (0, 3), "alike"),
    ("quad", "n0", 3, 2, (0, 2), "alike"),
    ("quad", "edge_middle", 2, None, (0, 2), "alike"),
    ("quad", "edge_middle", 3, None, (0, 3), "alike"),
    ("quad", "edge_middle", 2, 0, (0, 3), "sources"),
    ("quad", "edge_middle", 0, 2, (0, 2), "sources"),
    ("quad", "edge_middle", 1, 3, (1, 3), "sources"),
    ("quad", "spoke", 0, None, (0, 2), "alike"),
    ("quad", "spoke", 3, None, (1, 3), "alike"),
    ("quad", "spoke", 2, 1, (1, 3), "sources"),
    ("quad", "spoke", 3, 1, (0, 3), "alike"),
    ("quad", "spoke", 1, 2, (0, 2), "alike"),
    ("quad", "centre", 0, None, (0, 2), "alike"),
    ("quad", "centre", 3, None, (0, 3), "alike"),
    ("quad", "centre", 2, 0, (0, 3), "sources"),
    ("quad", "centre", 2, 1, (1, 3), "sources"),
    ("quad", "centre", 1, 3, (0, 3), "sources"),
]


def assert_reported(rule, kind, node, dimensions, condition):
    findings = gorvinpy.check_rule(rule)
    matching = [f for f in findings if f.kind == kind and f.dimensions == dimensions and node in f.nodes]
    assert matching, [str(f) for f in findings]
    for finding in findings:
        assert finding.reproduces(), str(finding)
    text = matching[0].condition
    assert repr(node) in text and (not dimensions or f"alpha{dimensions[0]} alpha{dimensions[1]}" in text)
    assert CONDITIONS[condition] in text


@pytest.mark.parametrize("base, node, dim, label, dimensions, condition", LABELS)
def test_wrong_orbit_labels_are_reported_at_their_node(base, node, dim, label, dimensions, condition):
    assert_reported(mutated(base, node, dim, label), "link", node, dimensions, condition)


def test_corpus_size():
    assert len(LABELS) + len(OTHERS) >= 40


def positions_changed(base, positions):
    orbit, nodes, links, _ = BASES[base]
    return gorvinpy.rule(f"{base} with other positions", orbit, nodes, links, positions)


# (rule, kind, node, dimensions, condition): positions missing or differing within one vertex
OTHERS = [
    (positions_changed("split", {}), "position", "mid", (), "missing"),
    (positions_changed("split", {"mid": P}), "position", "mid", (), "spread"),
    (positions_changed("split", {"mid": F}), "position", "mid", (), "spread"),
    (positions_changed("triangulate", {"corner": P}), "position", "centre", (), "missing"),
    (positions_changed("triangulate", {"corner": F, "centre": F}), "position", "corner", (), "spread"),
    (positions_changed("triangulate", {"corner": P, "centre": P}), "position", "centre", (), "spread"),
    (positions_changed("quad", {"edge_middle": E, "spoke": P, "centre": F}), "position", "spoke", (), "spread"),
]


@pytest.mark.parametrize("rule, kind, node, dimensions, condition", OTHERS, ids=[r.name for r, *_ in OTHERS])
def test_broken_positions_are_reported(rule, kind, node, dimensions, condition):
    assert_reported(rule, kind, node, dimensions, condition)


def test_deleted_node_is_named():
    rule = gorvinpy.rule("drop the other dart", (1,), {"n0": [1]}, [], left={"n1": [1]}, left_links=[(0, "n0", "n1")])
    findings = gorvinpy.check_rule(rule)
    assert any("n1" in f.left_nodes for f in findings), [str(f) for f in findings]
    assert all(f.reproduces() for f in findings)


def test_draw_rule_writes_both_patterns(tmp_path):
    svg, png = gorvinpy.draw_rule(gorvinpy.sew_volumes(), tmp_path / "sew")
    text = svg.read_text()
    assert png.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    for word in ("left pattern", "right pattern", "n0", "n1", "&lt;0, 1&gt;", "darkgreen"):
        assert word in text
