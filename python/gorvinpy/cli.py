"""The command line: `gorvin COMMAND ...`, or `python -m gorvinpy COMMAND ...`.

Files are mesh files (.obj and .off with the package's readers, every other format through meshio,
volume meshes included) or saved G-maps (.npz, loaded without pickle). Errors go to standard error
as "gorvin: error: FILE: what is wrong", with the exit codes of EXIT_CODES.
"""

from __future__ import annotations

import argparse
import json
import sys
import webbrowser
from pathlib import Path
from typing import Callable, List, Optional, Sequence

import numpy as np

import gorvinpy_bin

from . import _native
from .checks.gmap_checks import cell_counts, check_gmap
from .errors import GorvinError
from .files.exchange import export_mesh
from .files.meshio_objects import has_volumes
from .files.parallel import read_gmap
from .files.storage import save
from .operations.named import Operation, OperationError, apply_to_parts, describe, known_operations
from .pictures.html import export_html
from .progress import LONG_WORK_DARTS, Stages, is_long_file, wanted

EXIT_OK = 0
EXIT_FAULTS = 1  # check found faults in the G-map
EXIT_USAGE = 2  # the command line is wrong (argparse's code), or names no operation
EXIT_FILE = 3  # a file cannot be read or written
EXIT_OPERATION = 4  # the operation failed on the G-map
EXIT_CODES = f"""exit codes:
  {EXIT_OK}  success
  {EXIT_FAULTS}  check: the G-map has faults
  {EXIT_USAGE}  a wrong command line or an unknown operation
  {EXIT_FILE}  a file cannot be read or written
  {EXIT_OPERATION}  the operation failed on the G-map"""
_SHOWN_FAULTS = 20
# What a reader or writer raises for a file it cannot handle; anything else is a fault of the package.
_FILE_ERRORS = (OSError, ValueError, KeyError, IndexError, RuntimeError)


class CommandError(GorvinError):
    """Ends a command with a message on standard error and an exit code."""

    def __init__(self, message: str, code: int) -> None:
        super().__init__(message)
        self.code = code


def main(argv: Optional[Sequence[str]] = None) -> int:
    """Runs one command and returns its exit code."""
    arguments = _parser().parse_args(argv)
    try:
        return arguments.command(arguments)
    except CommandError as error:
        print(f"gorvin: error: {error}", file=sys.stderr)
        return error.code


def run() -> None:
    """The console script's entry point."""
    sys.exit(main())


def _info(arguments: argparse.Namespace) -> int:
    path = arguments.file
    with _stages(arguments, path, 3, "info") as stages:
        gmap = _read(path, stages)
        stages.step("counting cells")
        counts = cell_counts(gmap)
        stages.step("checking")
        faults = check_gmap(gmap)
    summary = {
        "file": path,
        "darts": _darts(gmap),
        "vertices": counts.vertices,
        "edges": counts.edges,
        "faces": counts.faces,
        "volumes": counts.volumes,
        "connected parts": counts.components,
        "Euler characteristic (V - E + F)": counts.euler,
        "faults": len(faults),
    }
    if has_volumes(gmap):
        summary["V - E + F - volumes"] = counts.euler - counts.volumes
    if arguments.json:
        print(json.dumps(summary))
    else:
        width = max(map(len, summary))
        for key, value in summary.items():
            print(f"{key + ':':<{width + 1}} {value}")
        _print_faults(faults)
    return EXIT_OK


def _check(arguments: argparse.Namespace) -> int:
    path = arguments.file
    with _stages(arguments, path, 2, "check") as stages:
        gmap = _read(path, stages)
        stages.step("checking")
        faults = check_gmap(gmap)
    if not faults:
        print(f"{path}: a sound G-map of {_darts(gmap)} darts")
        return EXIT_OK
    print(f"{path}: {len(faults)} fault{'s' if len(faults) > 1 else ''} in {_darts(gmap)} darts")
    _print_faults(faults)
    return EXIT_FAULTS


def _convert(arguments: argparse.Namespace) -> int:
    with _stages(arguments, arguments.input, 2, "convert") as stages:
        gmap = _read(arguments.input, stages)
        _write(gmap, arguments.output, stages)
    print(f"{arguments.output}: {_darts(gmap)} darts written")
    return EXIT_OK


def _apply(arguments: argparse.Namespace) -> int:
    try:
        operation = Operation.parse(arguments.operation)
        rule = operation.rule()
    except OperationError as error:
        raise CommandError(f"{error} (see gorvin apply --help)", EXIT_USAGE) from None
    with _stages(arguments, arguments.input, 4, "apply") as stages:
        gmap = _read(arguments.input, stages)
        before, had_faults = _darts(gmap), bool(check_gmap(gmap))
        stages.step(f"applying {operation}")
        try:
            parts = apply_to_parts(gmap, rule, progress=arguments.progress)
        except OperationError as error:
            raise CommandError(f"{error}", EXIT_USAGE) from None
        except Exception as error:  # a rule's precondition or expression failed on this G-map
            raise CommandError(f"{arguments.input}: {operation} failed: {_reason(error)}", EXIT_OPERATION) from None
        stages.step("checking")
        faults = check_gmap(gmap)
        if faults and not had_faults:
            raise CommandError(f"{arguments.input}: {operation} does not fit this G-map: the result has "
                               f"{len(faults)} faults ({faults[0]}); {arguments.output} not written", EXIT_OPERATION)
        _write(gmap, arguments.output, stages)
    print(f"{arguments.output}: {operation} applied to {parts} connected part{'s' if parts != 1 else ''}, "
          f"{before} darts before, {_darts(gmap)} after")
    return EXIT_OK


def _view(arguments: argparse.Namespace) -> int:
    path = arguments.file
    page = Path(arguments.output) if arguments.output else Path(Path(path).stem + ".html")
    with _stages(arguments, path, 2, "view") as stages:
        gmap = _read(path, stages)
        stages.step("writing the page")
        try:
            export_html(gmap, page, title=Path(path).name)
        except _FILE_ERRORS as error:
            raise CommandError(f"{page}: {_reason(error)}", EXIT_FILE) from None
    print(page)
    if not arguments.no_open and not webbrowser.open(page.resolve().as_uri()):
        print(f"gorvin: no browser found; open {page} yourself", file=sys.stderr)
    return EXIT_OK


def _darts(gmap: gorvinpy_bin.GMap3D) -> int:
    """The number of live darts (deleted slots left out)."""
    return int(np.count_nonzero(_native.live_mask(gmap)))


def _read(path: str, stages: Stages) -> gorvinpy_bin.GMap3D:
    stages.step("reading")
    try:
        return read_gmap(path)
    except _FILE_ERRORS as error:
        raise CommandError(_named(path, error), EXIT_FILE) from None


def _write(gmap: gorvinpy_bin.GMap3D, path: str, stages: Stages) -> None:
    stages.step("writing")
    try:
        if path.lower().endswith(".npz"):
            save(gmap, path)
        else:
            export_mesh(gmap, path)
    except _FILE_ERRORS as error:
        raise CommandError(_named(path, error), EXIT_FILE) from None


def _named(path: str, error: BaseException) -> str:
    """The error's message, starting with the path (readers and writers often name it already)."""
    message = _reason(error)
    return message if message.startswith(path) else f"{path}: {message}"


def _reason(error: BaseException) -> str:
    if isinstance(error, OSError) and error.strerror:
        return error.strerror
    if isinstance(error, KeyError) and error.args:
        return str(error.args[0])
    return str(error) or type(error).__name__


def _print_faults(faults: List[str]) -> None:
    for message in faults[:_SHOWN_FAULTS]:
        print(f"  {message}")
    if len(faults) > _SHOWN_FAULTS:
        print(f"  ... and {len(faults) - _SHOWN_FAULTS} more")


def _stages(arguments: argparse.Namespace, path: str, total: int, command: str) -> Stages:
    return Stages(total, f"{command} {Path(path).name}", wanted(arguments.progress, is_long_file(path)))


def _operations_help() -> str:
    lines = [describe(name, factory) for name, factory in known_operations().items()]
    return "operations (the package's functions that return a rule):\n" + "\n".join(f"  {line}" for line in lines)


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="gorvin", description="G-maps from mesh files: counts, checks, conversions, operations and pages.",
        epilog=EXIT_CODES, formatter_class=argparse.RawDescriptionHelpFormatter,
    )
    commands = parser.add_subparsers(title="commands", metavar="COMMAND", required=True)
    common = argparse.ArgumentParser(add_help=False)
    bar = common.add_mutually_exclusive_group()
    bar.add_argument("--progress", action="store_true", default=None,
                     help=f"show progress bars (default: on a terminal, for files of about {LONG_WORK_DARTS:.0e} "
                          "darts or more; GORVIN_PROGRESS=1 or 0 sets the default)")
    bar.add_argument("--no-progress", dest="progress", action="store_false", help="show no progress bar")

    def command(name: str, run: Callable[[argparse.Namespace], int], summary: str, epilog: str = EXIT_CODES):
        sub = commands.add_parser(name, parents=[common], help=summary, description=summary, epilog=epilog,
                                  formatter_class=argparse.RawDescriptionHelpFormatter)
        sub.set_defaults(command=run)
        return sub

    files = "FILE: a mesh file (.obj, .off, .vtu, .msh, ... any format meshio reads) or a saved G-map (.npz)"
    info = command("info", _info, "Counts the darts and cells of a G-map, its Euler characteristic and its faults.")
    info.add_argument("file", metavar="FILE", help=files)
    info.add_argument("--json", action="store_true", help="print the counts as one JSON object")
    check = command("check", _check, "Checks the G-map conditions; exits with 1 when some fail.")
    check.add_argument("file", metavar="FILE", help=files)
    convert = command("convert", _convert, "Reads a file and writes it in the format of OUT's suffix.")
    convert.add_argument("input", metavar="IN", help=files)
    convert.add_argument("output", metavar="OUT", help="a mesh file (.obj, .ply, .vtu, ...) or a saved G-map (.npz)")
    apply = command(
        "apply", _apply,
        "Applies an operation of the package to every connected part of IN (at its smallest dart; a rule "
        "without hook once) and writes OUT.",
        epilog=_operations_help() + "\n\n" + EXIT_CODES,
    )
    apply.add_argument("operation", metavar="OPERATION",
                       help="an operation name, or a call with literal arguments, e.g. 'extrude((0, 0, 1))'")
    apply.add_argument("input", metavar="IN", help=files)
    apply.add_argument("output", metavar="OUT", help="a mesh file or a saved G-map (.npz)")
    view = command("view", _view, "Writes the HTML page of a G-map and opens it in a browser.")
    view.add_argument("file", metavar="FILE", help=files)
    view.add_argument("-o", "--output", metavar="PAGE", help="the page to write (default: FILE's name with .html, "
                                                             "in the current folder)")
    view.add_argument("--no-open", action="store_true", help="write the page without opening it")
    return parser
