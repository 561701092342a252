"""Seeded random programs over the whole module, checked call by call against the plain models.

After every call the module has either given the model's result or raised the exception the model
predicts, and every G-map the call could reach holds the model's dart table (and, where checked,
its embedding dicts). A program holds its objects in pools; each step picks an operation and its
arguments from them."""
from program_application import ApplicationOps
from program_base import ProgramBase
from program_queries import QueryOps
from program_rules import RuleOps
from program_store import StoreOps


class Program(StoreOps, QueryOps, RuleOps, ApplicationOps, ProgramBase):
    # Running

    WEIGHTS = {
        "modeler": 1, "copy_modeler": 1, "modeler_queries": 1, "make_gmap": 2, "lookup_gmap": 2, "iterate_modeler": 1,
        "resize": 4, "clear": 1, "reserve": 1, "make_darts": 8, "link": 14, "bad_arguments": 2, "gmap_reads": 6,
        "iterator_next": 3, "handle": 10, "orphans": 1, "raw": 10, "gmap_embeddings": 4, "handle_embeddings": 4,
        "orbit": 6, "extraction": 2, "rule": 3, "make_node": 10, "node_view": 4, "node_copies": 1,
        "standalone_node": 1, "node": 4, "link_nodes": 6, "compile": 4, "rule_queries": 2, "match": 1,
        "expression": 3, "template_rule": 3, "polygon": 3, "apply": 12, "expression_table": 2, "context": 2,
        "geometry": 1, "rule_result": 1,
    }

    def run(self, steps):
        names = list(self.WEIGHTS)
        weights = [self.WEIGHTS[n] for n in names]
        for _ in range(steps):
            self.op = self.rng.choices(names, weights)[0]
            getattr(self, "op_" + self.op)()
            if self.rng.random() < 0.02:
                self.check_all()
        self.check_all()
        self.check_output()
        return self.calls
