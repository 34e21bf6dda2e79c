"""verify_install.py on a release folder and changed copies of it."""
import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

SCRIPT = Path(__file__).resolve().parent / "verify_install.py"

RELEASE = {
    "Client.exe": b"MZ" + bytes(range(256)) * 64,
    "client.cfg": b"server=local\n",
    "data/Terrain.bin": bytes(300000),
    "data/empty.dat": b"",
    # A release may ship a file named like a work file: it is compared.
    "data/crc.txt": b"shipped",
}
RELEASE_BYTES = sum(len(data) for data in RELEASE.values())


def write(root, rel, data):
    path = root / rel
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)


def flip_byte(root, rel, at):
    data = bytearray((root / rel).read_bytes())
    data[at] ^= 0x01
    (root / rel).write_bytes(bytes(data))


def rename_case(root, rel, new_rel):
    (root / rel).rename(root / new_rel)


def launcher_work_files(root):
    for name in ("Launcher.exe", "guest.dat", "update.xml", "CUD.dat", "CIF.dat", "applist.dat",
                 "addpkg.dat", "silent.dat", "crc.txt", "2026-01-02 10-11-12.log"):
        write(root, name, b"work")
    write(root, "tmp/core.pkg.part", b"part")


def run(*args):
    return subprocess.run([sys.executable, str(SCRIPT), *map(str, args)],
                          capture_output=True, text=True)


@pytest.fixture
def folders(tmp_path):
    release = tmp_path / "release"
    for rel, data in RELEASE.items():
        write(release, rel, data)
    install = tmp_path / "install"
    shutil.copytree(release, install)
    return release, install


CASES = [
    ("identical copy", lambda root: None, 0, []),
    ("names differ in case only",
     lambda root: (rename_case(root, "client.cfg", "CLIENT.CFG"),
                   rename_case(root, "data", "DATA")), 0, []),
    ("launcher work files", launcher_work_files, 0, []),
    ("first byte changed", lambda root: flip_byte(root, "Client.exe", 0), 1,
     ["differs: Client.exe"]),
    ("last byte changed", lambda root: flip_byte(root, "data/Terrain.bin", 299999), 1,
     ["differs: data/Terrain.bin"]),
    ("empty file got content", lambda root: write(root, "data/empty.dat", b"x"), 1,
     ["differs: data/empty.dat"]),
    ("file missing", lambda root: os.remove(root / "client.cfg"), 1, ["missing: client.cfg"]),
    ("folder missing", lambda root: shutil.rmtree(root / "data"), 1,
     ["missing: data/Terrain.bin", "missing: data/crc.txt", "missing: data/empty.dat"]),
    ("extra files", lambda root: (write(root, "readme.txt", b"?"), write(root, "data/new.bin", b"")),
     1, ["extra: data/new.bin", "extra: readme.txt"]),
    # Work files count only in the top folder.
    ("work file names in a subfolder",
     lambda root: (write(root, "data/update.xml", b"x"), write(root, "data/tmp/a", b"x"),
                   write(root, "data/x.log", b"x")),
     1, ["extra: data/tmp/a", "extra: data/update.xml", "extra: data/x.log"]),
    ("shipped file named like a work file changed", lambda root: write(root, "data/crc.txt", b"?"),
     1, ["differs: data/crc.txt"]),
]


@pytest.mark.parametrize("change,expected_code,expected_lines",
                         [case[1:] for case in CASES], ids=[case[0] for case in CASES])
def test_install_against_release(folders, change, expected_code, expected_lines):
    release, install = folders
    change(install)
    result = run(release, install)
    assert result.returncode == expected_code, result.stdout + result.stderr
    lines = result.stdout.splitlines()
    assert sorted(lines[:-1]) == expected_lines
    if expected_code == 0:
        assert lines[-1] == "%d files, %d bytes: identical" % (len(RELEASE), RELEASE_BYTES)
    else:
        assert lines[-1] == "%d files, %d bytes: %d problems" % (
            len(RELEASE), RELEASE_BYTES, len(expected_lines))


def test_names_that_clash_on_windows_are_a_problem(folders):
    release, install = folders
    write(install, "CLIENT.cfg", RELEASE["client.cfg"])
    result = run(release, install)
    assert result.returncode == 1
    assert result.stdout.splitlines()[0] == (
        "installed names differ only in case: CLIENT.cfg, client.cfg")


@pytest.mark.parametrize("args", [[], ["one"], ["a", "b", "c"], ["missing-release", "."],
                                  [".", "missing-install"]])
def test_bad_arguments(tmp_path, args):
    result = subprocess.run([sys.executable, str(SCRIPT), *args], capture_output=True, text=True,
                            cwd=tmp_path)
    assert result.returncode == 2
    assert result.stdout == ""
    assert result.stderr
