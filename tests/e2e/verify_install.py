#!/usr/bin/env python3
"""Checks an install folder against the client folder a release was published from.

  verify_install.py RELEASE_FOLDER INSTALL_FOLDER

Independent of the launcher and of launcher-tool: it reads neither manifest
nor package, only the two folders. Every file of the release must exist in
the install folder with the same SHA-256; names are compared ignoring case,
as Windows finds them. A file of the install folder that the release does
not have is an error, unless it is one of the launcher's own work files in
the top folder. One line per problem, then a summary line.

Exit status: 0 identical, 1 problems found, 2 bad arguments.
"""
import hashlib
import os
import sys

# What the launcher itself keeps next to the client (top folder only).
WORK_FILES = {
    "launcher.exe", "guest.dat", "update.xml", "cud.dat", "cif.dat", "applist.dat",
    "addpkg.dat", "silent.dat", "changes.dat", "crc.txt",
}
WORK_FOLDERS = {"tmp"}
WORK_EXTENSIONS = {".log"}
CHUNK = 1 << 20


def is_work_file(key):
    """key: lower-case path with "/" separators."""
    top, _, rest = key.partition("/")
    if rest:
        return top in WORK_FOLDERS
    return key in WORK_FILES or os.path.splitext(key)[1] in WORK_EXTENSIONS


def list_files(folder):
    """Relative paths ("/"-separated) of the regular files below folder, sorted."""
    found = []
    for base, dirs, files in os.walk(folder):
        dirs.sort()
        for name in files:
            path = os.path.join(base, name)
            if os.path.isfile(path):
                found.append(os.path.relpath(path, folder).replace(os.sep, "/"))
    return sorted(found)


def by_key(paths):
    """Lower-case key -> the paths that have it (more than one is a clash on Windows)."""
    keyed = {}
    for path in paths:
        keyed.setdefault(path.lower(), []).append(path)
    return keyed


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(CHUNK), b""):
            digest.update(chunk)
    return digest.hexdigest()


def compare(release, install):
    """Returns (problems, file count, byte count of the release)."""
    problems = []
    released = by_key(list_files(release))
    installed = by_key(list_files(install))
    total_bytes = 0
    for key in sorted(released):
        names = released[key]
        if len(names) > 1:
            problems.append("release names differ only in case: " + ", ".join(names))
            continue
        source = os.path.join(release, names[0])
        total_bytes += os.path.getsize(source)
        candidates = installed.get(key, [])
        if not candidates:
            problems.append("missing: " + names[0])
        elif len(candidates) > 1:
            problems.append("installed names differ only in case: " + ", ".join(candidates))
        else:
            try:
                same = sha256_of(os.path.join(install, candidates[0])) == sha256_of(source)
            except OSError as error:
                problems.append("unreadable: %s (%s)" % (names[0], error.strerror))
                continue
            if not same:
                problems.append("differs: " + names[0])
    for key in sorted(installed):
        if key not in released and not is_work_file(key):
            problems.extend("extra: " + name for name in installed[key])
    return problems, len(released), total_bytes


def main(argv):
    if len(argv) != 3:
        print("usage: verify_install.py RELEASE_FOLDER INSTALL_FOLDER", file=sys.stderr)
        return 2
    release, install = argv[1], argv[2]
    for folder in (release, install):
        if not os.path.isdir(folder):
            print("not a folder: " + folder, file=sys.stderr)
            return 2
    problems, count, size = compare(release, install)
    for line in problems:
        print(line)
    if problems:
        print("%d files, %d bytes: %d problems" % (count, size, len(problems)))
        return 1
    print("%d files, %d bytes: identical" % (count, size))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
