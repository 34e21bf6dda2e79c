#!/usr/bin/env python3
"""Writes the demo's two sample releases of the client, byte for byte the same every time.

  make-release.py CLIENT_EXE OUT_FOLDER

OUT_FOLDER/v1 and OUT_FOLDER/v2 each get "client/" (the client folder to
publish) and "layout.txt" (its package layout for `launcher-tool publish`).
CLIENT_EXE is the sample client built by the project; it is copied as
Client.exe. Both layouts leave the launcher out, so a demo launcher never
replaces itself.

  core.pkg   Client.exe, client.cfg            v2: client.cfg changed
  data.pkg   data/...                          v2: one file added, one removed
  media.pkg  media/...                         v2: the same files, the same bytes
"""
import hashlib
import shutil
import sys
from pathlib import Path

LAYOUT = """\
# Sample release {version} of the demo client (tests/demo/make-release.py).
modification skyreach-demo-{version}
client-version 1.0.{number}
pack core.pkg full
  add Client.exe
  add client.cfg
pack data.pkg full
  add data
pack media.pkg full
  add media
"""

CONFIG = """\
# Skyreach sample client settings
release={version}
quality=high
language=en
"""


def noise(seed, size):
    """Incompressible bytes, fixed by seed."""
    out = bytearray()
    counter = 0
    while len(out) < size:
        out += hashlib.sha256(b"%s:%d" % (seed.encode(), counter)).digest()
        counter += 1
    return bytes(out[:size])


def table(rows):
    """A text table that packs well."""
    return "".join("item %05d weight=%d value=%d name=item-%d\n" % (i, i % 97, i * 7 % 1013, i)
                   for i in range(rows)).encode()


def release_files(version):
    files = {
        "client.cfg": CONFIG.format(version=version).encode(),
        "data/terrain.bin": noise("terrain", 256 * 1024),
        "data/items.txt": table(4000),
        "media/music.bin": noise("music", 320 * 1024),
        "media/intro.bin": noise("intro", 128 * 1024),
    }
    if version == "v1":
        files["data/legacy.bin"] = noise("legacy", 64 * 1024)
    else:
        files["data/quests.bin"] = noise("quests", 96 * 1024)
    return files


def write_release(out, version, client_exe):
    folder = out / version
    if folder.exists():
        shutil.rmtree(folder)
    client = folder / "client"
    client.mkdir(parents=True)
    shutil.copyfile(client_exe, client / "Client.exe")
    for rel, data in release_files(version).items():
        path = client / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    (folder / "layout.txt").write_text(LAYOUT.format(version=version, number=version[1:]))


def main(argv):
    if len(argv) != 3 or not Path(argv[1]).is_file():
        print("usage: make-release.py CLIENT_EXE OUT_FOLDER", file=sys.stderr)
        return 2
    out = Path(argv[2])
    for version in ("v1", "v2"):
        write_release(out, version, Path(argv[1]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
