"""process_files on the public OFF meshes: in a local process pool and on a two-worker Dask cluster."""

import functools
import pickle

import pytest

import gorvinpy
from test_public_meshes import MESHES


def counts(gmap):
    return gorvinpy.cell_counts(gmap)


def darts_of(path, extra=0):
    return len(gorvinpy.import_mesh(path)) + extra


@pytest.fixture
def files(geomview):
    return [geomview / name for name in sorted(MESHES)]


def serial_counts(files):
    return [counts(gorvinpy.import_mesh(path)) for path in files]


def triangulated(path):
    gmap = gorvinpy.import_mesh(path)
    gorvinpy.apply_to_parts(gmap, gorvinpy.triangulate())
    return gmap


@pytest.fixture(params=["local", "dask"])
def client(request):
    if request.param == "local":
        yield None
        return
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster:
        with distributed.Client(cluster) as connected:
            yield connected


def test_many_files_at_once(files, client, tmp_path):
    assert gorvinpy.process_files(files, counts, client=client, workers=2) == serial_counts(files)
    # G-maps travel back by pickle, operations go out as their recipes
    back = gorvinpy.process_files(files, gorvinpy.Operation("triangulate"), client=client, workers=2)
    for gmap, path in zip(back, files):
        expected = triangulated(path)
        assert counts(gmap) == counts(expected) and gorvinpy.check_gmap(gmap) == []
        assert [gmap.ebd123(d) for d in range(len(gmap))] == [expected.ebd123(d) for d in range(len(expected))]
    by_path = gorvinpy.process_files(files, functools.partial(darts_of, extra=1), client=client, read=False)
    assert by_path == [len(gorvinpy.import_mesh(path)) + 1 for path in files]
    saved = tmp_path / "cube.npz"
    gorvinpy.save(gorvinpy.import_mesh(files[0]), saved)
    assert gorvinpy.process_files([saved], counts, client=client) == serial_counts(files[:1])


def test_a_failing_file_is_named(files, client, tmp_path):
    bad = tmp_path / "bad.off"
    bad.write_text("OFF\n3 1 0\n0 0 0\n")
    with pytest.raises(gorvinpy.FileTaskError, match=f"^{bad}: MeshFormatError: 3: file ends early") as caught:
        gorvinpy.process_files(files[:2] + [bad], counts, client=client, workers=2)
    assert caught.value.path == str(bad)


def test_operations_pickle_as_their_recipe():
    operation = gorvinpy.Operation.parse("triangulate(orbit=(0, 1, 3))")
    again = pickle.loads(pickle.dumps(operation))
    assert repr(again) == "triangulate(orbit=(0, 1, 3))" and again.rule().name == "triangulate"


@pytest.mark.parametrize("progress, shown", [(None, False), (True, True), (False, False)])
def test_progress_counts_files_only_when_asked(capfd, files, progress, shown):
    gorvinpy.process_files(files[:2], counts, workers=1, progress=progress)
    assert ("files: " in capfd.readouterr().err) == shown
