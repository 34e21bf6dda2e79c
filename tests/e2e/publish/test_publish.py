"""launcher-tool publish on a sample client, then verify on copies of it."""

import os
import shutil
import subprocess
import xml.etree.ElementTree as ET
import zipfile
import zlib

import pytest

TOOL = os.environ.get("LAUNCHER_TOOL", "launcher-tool")

LAYOUT = """\
modification r42
client-version 2.1.7
launcher version=1.0.0.9 size=4096 crc=12345
pack base.pkg full
  rest
pack x64.pkg full platform=64
  add bin/x64
pack tools.pkg ext
  info en name="Map Editor" exec=tools\\editor.exe help="Edits maps.\\nOptional."
  add tools
increment patch.pkg from=old
ignore *\\readme.txt
"""


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def run(*args):
    return subprocess.run([TOOL, *args], capture_output=True, text=True)


@pytest.fixture
def tree(tmp_path):
    client = tmp_path / "client"
    files = {
        "game.exe": b"MZ" + bytes(range(256)) * 40,
        "bin/engine.dll": os.urandom(70000),
        "bin/x64/engine64.dll": b"64" * 5000,
        "data/level1.pak": b"level one " * 3000,
        "data/empty.cfg": b"",
        "tools/editor.exe": b"editor",
    }
    for name, data in files.items():
        write(str(client / name), data)
    old = tmp_path / "old"
    shutil.copytree(client, old)
    write(str(old / "game.exe"), b"old game")
    (tmp_path / "layout.txt").write_text(LAYOUT)
    out = tmp_path / "server"
    result = run("publish", str(client), str(tmp_path / "layout.txt"), str(out))
    assert result.returncode == 0, result.stderr
    return tmp_path, client, out


def launcher_crc(data):
    # The launcher's CRC of zero bytes is 0xFFFFFFFF, not zlib's 0.
    return zlib.crc32(data) if data else 0xFFFFFFFF


def test_manifest_matches_files_and_packages(tree):
    tmp, client, out = tree
    with zipfile.ZipFile(out / "update.rxml") as rxml:
        assert rxml.namelist() == ["update.xml"]
        assert rxml.read("update.xml") == (out / "update.xml").read_bytes()
    root = ET.parse(out / "update.xml").getroot()
    assert root.get("modification") == "r42"
    assert root.get("launcherSize") == "4096"
    seen = set()
    for pack in root.findall("PACK"):
        pkg = out / pack.get("file")
        data = pkg.read_bytes()
        assert int(pack.get("size")) == os.path.getsize(pkg)
        assert int(pack.get("crc")) == zlib.crc32(data)
        with zipfile.ZipFile(pkg) as z:
            assert z.testzip() is None
            names = sorted(z.namelist())
            listed = sorted(f.get("file").replace("\\", "/") for f in pack.findall("FILE"))
            assert names == listed
            for entry in pack.findall("FILE"):
                rel = entry.get("file").replace("\\", "/")
                path = client / rel
                content = path.read_bytes()
                assert int(entry.get("size")) == os.path.getsize(path)
                assert int(entry.get("crc")) == launcher_crc(content)
                assert z.read(rel) == content
                if pack.get("type") != "increment":
                    seen.add(rel)
    assert seen == {"game.exe", "bin/engine.dll", "bin/x64/engine64.dll", "data/level1.pak",
                    "data/empty.cfg", "tools/editor.exe"}
    patch = [p for p in root.findall("PACK") if p.get("type") == "increment"]
    assert [f.get("file") for f in patch[0].findall("FILE")] == ["game.exe"]


def test_publish_is_deterministic(tree):
    tmp, client, out = tree
    again = tmp / "again"
    assert run("publish", str(client), str(tmp / "layout.txt"), str(again)).returncode == 0
    for name in sorted(os.listdir(out)):
        assert (out / name).read_bytes() == (again / name).read_bytes(), name


def test_verify_copy_then_changes(tree):
    tmp, client, out = tree
    install = tmp / "install"
    shutil.copytree(client, install)
    result = run("verify", str(install), str(out / "update.rxml"))
    assert result.returncode == 0, result.stdout + result.stderr
    assert "differs:" not in result.stdout

    level = bytearray((install / "data/level1.pak").read_bytes())
    level[1234] ^= 0x01
    (install / "data/level1.pak").write_bytes(bytes(level))
    os.remove(install / "tools/editor.exe")
    write(str(install / "bin/unknown.dll"), b"stranger")
    write(str(install / "client.log"), b"kept")
    write(str(install / "docs/readme.txt"), b"ignored")

    result = run("verify", str(install), str(out / "update.xml"))
    assert result.returncode == 1
    lines = result.stdout.splitlines()
    differs = sorted(l for l in lines if l.startswith("differs:"))
    assert differs == ["differs: data\\level1.pak (base.pkg)",
                       "differs: tools\\editor.exe (tools.pkg)"]
    assert [l for l in lines if l.startswith("extra:")] == ["extra: bin\\unknown.dll"]
    downloads = [l.split()[1] for l in lines if l.startswith("download:")]
    assert downloads == ["base.pkg", "tools.pkg"]

    # A 32-bit system does not get the 64-bit package's file checked.
    os.remove(install / "bin/x64/engine64.dll")
    result32 = run("verify", str(install), str(out / "update.xml"), "--platform", "32")
    assert "x64" not in result32.stdout
    result64 = run("verify", str(install), str(out / "update.xml"))
    assert "download: x64.pkg" in result64.stdout


def test_verify_old_client_takes_the_increment(tree):
    tmp, client, out = tree
    result = run("verify", str(tmp / "old"), str(out / "update.xml"))
    assert result.returncode == 1
    assert "differs: game.exe (base.pkg)" in result.stdout
    assert [l.split()[1] for l in result.stdout.splitlines() if l.startswith("download:")] == [
        "patch.pkg"]


def test_verify_reports_bad_input(tree):
    tmp, client, out = tree
    write(str(tmp / "bad.rxml"), b"Rar!broken")
    assert run("verify", str(client), str(tmp / "bad.rxml")).returncode == 2
    assert run("verify", str(client)).returncode == 2
