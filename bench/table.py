"""Plain-text tables for the benchmark reports."""


def print_table(header, rows):
    widths = [max(len(str(cell)) for cell in column) for column in zip(header, *rows)]
    for row in [header, ["-" * w for w in widths], *rows]:
        print("  ".join(str(cell).ljust(w) for cell, w in zip(row, widths)).rstrip(), flush=True)
