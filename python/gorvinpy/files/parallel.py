"""One function per mesh file, in parallel: in a local process pool, or on a Dask cluster.

Each file is read where it is processed (a saved G-map .npz with `load`, any other mesh file with
`import_mesh`), and the function's result comes back by pickle; a G-map pickles whole, with its
embedding values. The function itself travels by pickle too: a function defined at module level,
a `functools.partial` of one, or an `Operation`, whose rule is built where it runs (on a Dask
cluster, lambdas and closures travel as well).
"""

from __future__ import annotations

import os
from concurrent.futures import ProcessPoolExecutor
from typing import Any, Callable, Iterable, List, Optional

from ..errors import GorvinError
from ..progress import tracked, wanted


class FileTaskError(GorvinError, RuntimeError):
    """The function failed on a file, or the file could not be read: the message starts with the path."""

    def __init__(self, path: str, message: str) -> None:
        super().__init__(f"{path}: {message}")
        self.path = path
        self.message = message

    def __reduce__(self):
        return FileTaskError, (self.path, self.message)


def process_files(
    files: Iterable[Any],
    function: Callable[[Any], Any],
    client: Any = None,
    read: bool = True,
    workers: Optional[int] = None,
    progress: Optional[bool] = None,
) -> List[Any]:
    """The results of function on each file, in the order of files.

    function is given the G-map read from the file (read=True) or the file's path (read=False).
    client: a `dask.distributed.Client`, whose cluster runs the calls; without one they run in a
    local pool of `workers` processes (by default one per core). The first failure, in the order
    the calls end, raises FileTaskError naming its file, and the calls not yet started are dropped.
    A bar counts the files done when asked for, or on a terminal (see progress.py).
    """
    paths = [os.fspath(file) for file in files]
    shown = wanted(progress, long_work=True)
    if client is not None:
        return _on_cluster(client, paths, function, read, shown)
    with ProcessPoolExecutor(max_workers=workers) as pool:
        futures = [pool.submit(run_on_file, function, read, path) for path in paths]
        try:
            for _ in tracked(_completed(futures), len(futures), "files", shown):
                pass
        except BaseException:
            for future in futures:
                future.cancel()
            raise
        return [future.result() for future in futures]


def run_on_file(function: Callable[[Any], Any], read: bool, path: str) -> Any:
    """function of the file's G-map (or of its path); FileTaskError naming the file when it fails."""
    try:
        return function(read_gmap(path) if read else path)
    except FileTaskError:
        raise
    except Exception as error:
        message = str(error)
        if message.startswith(path):  # readers name the file already
            message = message[len(path):].lstrip(": ")
        raise FileTaskError(path, f"{type(error).__name__}: {message}") from error


def read_gmap(path: Any):
    """A G-map from a file: a saved G-map (.npz, loaded without pickle) or any mesh file."""
    from .exchange import import_mesh
    from .storage import load

    return load(path) if os.fspath(path).lower().endswith(".npz") else import_mesh(path)


def _completed(futures):
    from concurrent.futures import as_completed

    for future in as_completed(futures):
        future.result()  # raises the call's error
        yield future


def _on_cluster(client: Any, paths: List[str], function: Callable[[Any], Any], read: bool, shown: bool) -> List[Any]:
    from distributed import as_completed

    futures = client.map(run_on_file, [function] * len(paths), [read] * len(paths), paths, pure=False)
    try:
        for future in tracked(as_completed(futures), len(futures), "files", shown):
            future.result()
    except BaseException:
        client.cancel(futures)
        raise
    return client.gather(futures)
