"""The rule engine transcribed step by step onto the plain models: the checks made before any
change, the rows found from the hooks, new darts, expressions, links, values and deletion."""
from gmap_model import NO_LINK, Value, kernel_error, neighbour_of

NOT_ENOUGH_HOOKS = "ERROR NOT ENOUGH HOOKS!!\n"
NOT_ISOMORPH = "ERROR NOT ISOMORPH HOOKS!!\n"
EXPRESSION_ERROR = "[ERROR] Exception occurred while evaluating expressions: "


class Plan:
    """What an application reads from a rule, after the checks that come before any change."""

    def __init__(self, rule, columns, messages):
        if not rule.compiled and (rule.left or rule.right):
            raise kernel_error()
        self.hooks = rule.hooks()
        if columns != len(self.hooks):
            messages.append(NOT_ENOUGH_HOOKS)
            raise kernel_error()
        for nodes in (rule.left, rule.right):
            if any(t != NO_LINK and t >= len(nodes) for n in nodes for t in n.links):
                raise kernel_error()
        if rule.left and not self.hooks:
            raise kernel_error()
        self.n = len(rule.left[self.hooks[0]].orbit) if self.hooks else 0
        if any(len(rule.left[h].orbit) < self.n for h in self.hooks):
            raise kernel_error()
        if any(len(r.orbit) < self.n for r in rule.right):
            raise kernel_error()
        self.rule = rule
        self.created, self.kept, self.deleted = rule.created(), rule.kept(), rule.deleted()
        self.needs_neighbour = [any(0 <= r.orbit[j] <= 3 for r in rule.right) for j in range(self.n)]


class Row:
    def __init__(self, number, plan):
        self.number = number
        self.opp = [NO_LINK] * plan.n
        self.left = [NO_LINK] * len(plan.rule.left)


class RowMatcher:
    def __init__(self, plan, gmap, messages):
        self.plan, self.gmap, self.messages = plan, gmap, messages
        self.used = {}  # dart -> row number for a row's first-hook dart, None for other marks
        self.rows = []

    def fresh(self, y):
        return self.gmap.exists(y) and y not in self.used

    def step(self, row, i, k):
        d = row.left[self.plan.hooks[i]]
        e = self.plan.rule.left[self.plan.hooks[i]].orbit[k]
        if d == NO_LINK or e == -1:
            return NO_LINK
        return neighbour_of(self.gmap.slots[d], e)

    def extend(self, row):
        stack = list(self.plan.hooks)
        while stack:
            v = stack.pop()
            x = self.gmap.slots[row.left[v]]
            for k in range(4):
                t = self.plan.rule.left[v].links[k]
                if t == NO_LINK or not self.fresh(x[1 + k]):
                    continue
                row.left[t] = x[1 + k]
                self.used[x[1 + k]] = None
                stack.append(t)

    def match(self, hook_darts):
        plan = self.plan
        first = Row(0, plan)
        self.rows.append(first)
        for h, d in zip(plan.hooks, hook_darts):
            first.left[h] = d
            self.used[d] = None
        self.extend(first)
        if plan.rule.left:
            self.expand()
        for row in self.rows:
            if NO_LINK in row.left:
                raise kernel_error()
            if any(need and opp == NO_LINK for need, opp in zip(plan.needs_neighbour, row.opp)):
                raise kernel_error()
        return self.rows

    def expand(self):
        plan = self.plan
        self.used[self.rows[0].left[plan.hooks[0]]] = 0
        pending = [0]
        while pending:
            r = self.rows[pending.pop()]
            for k in range(plan.n):
                candidate = []
                for i in range(len(plan.hooks)):
                    y = self.step(r, i, k)
                    if self.fresh(y):
                        self.used[y] = None
                        candidate.append(y)
                    else:
                        candidate.append(NO_LINK)
                received = sum(y != NO_LINK for y in candidate)
                if received == len(candidate):
                    c = Row(len(self.rows), plan)
                    r.opp[k], c.opp[k] = c.number, r.number
                    for h, y in zip(plan.hooks, candidate):
                        c.left[h] = y
                    self.used[candidate[0]] = c.number
                    self.extend(c)
                    self.rows.append(c)
                    pending.append(c.number)
                elif received == 0:
                    if r.opp[k] == NO_LINK:
                        number = self.used.get(self.step(r, 0, k))
                        if number is not None:
                            r.opp[k] = number
                else:
                    self.messages.append(NOT_ISOMORPH)
                    raise kernel_error()


def apply(gmap, rule, hook_darts, evaluate, messages):
    """Applies `rule` at `hook_darts` (one per column). `evaluate(exprs, context)` returns the value
    dict of one expression group; `context` is (row's left darts, left dart, right dart)."""
    plan = Plan(rule, len(hook_darts), messages)
    if not all(gmap.exists(d) for d in hook_darts):
        raise kernel_error()
    rows = RowMatcher(plan, gmap, messages).match(hook_darts)

    base = gmap.size()
    added = len(rows) * len(plan.created)
    gmap.append_shared(added)
    right = []
    for row in rows:
        darts = [NO_LINK] * len(rule.right)
        for j, q in enumerate(plan.created):
            darts[q] = base + row.number * len(plan.created) + j
        for q in plan.kept:
            darts[q] = row.left[rule.assoc[q]]
        right.append(darts)

    values = []
    try:
        for row, darts in zip(rows, right):
            for q, node in enumerate(rule.right):
                for s, group in enumerate(node.exprs):
                    if group:
                        source = row.left[rule.assoc[q]] if rule.assoc[q] != -1 else NO_LINK
                        values.append((darts[q], s, evaluate(group, (list(row.left), source, darts[q]))))
    except BaseException:
        if gmap.size() > base:
            gmap.resize(base)
        raise
    row_darts = [d for row in rows for d in row.left] + list(range(base, base + added))
    if gmap.size() < base + added or not all(gmap.exists(d) for d in row_darts):
        if gmap.size() > base:
            gmap.resize(base)
        raise kernel_error()

    for row, darts in zip(rows, right):
        for q, node in enumerate(rule.right):
            for k in range(4):
                if node.links[k] != NO_LINK:
                    gmap.link(k, darts[q], darts[node.links[k]])
            for j in range(plan.n):
                e = node.orbit[j]
                if 0 <= e <= 3:
                    gmap.link(e, darts[q], right[row.opp[j]][q])
    for dart, slot, content in values:
        gmap.records[dart][slot] = Value(content)
    delete_matched(gmap, plan, rows, right)


def delete_matched(gmap, plan, rows, right):
    if not plan.deleted:
        return
    kept = {darts[q] for darts in right for q in plan.kept}
    for row in rows:
        for node in plan.deleted:
            x = row.left[node]
            if gmap.exists(x) and x not in kept:
                slot = gmap.slots[x]
                for d in range(4):
                    p = slot[1 + d]
                    if p != x and p < gmap.size() and gmap.slots[p][1 + d] == x:
                        gmap.slots[p][1 + d] = p
                slot[:] = [NO_LINK] * 5
