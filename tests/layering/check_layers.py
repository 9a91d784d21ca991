#!/usr/bin/env python3
"""Checks that the source tree keeps its layers.

Every folder of the product belongs to one layer; layers are ranked from
the operating system up to the programs. A file may include headers of its
own folder and of folders of lower rank only, and a CMake target may link
only targets of lower rank: never upward, never sideways to another folder
of the same rank. Operating-system headers stand only in the backend
folders (posix/, windows/) and the programs' main files; FLTK only in
app/ui/fltk. The test doubles of platform/testing are for tests alone.

    check_layers.py SOURCE_DIR   checks the tree; exit status 1 with one
                                 line per fault when a rule is broken
    check_layers.py --self-test  checks the checker on small trees
"""

import os
import re
import sys
import tempfile

# Low to high. Folders of one rank are peers and know nothing of each other.
LAYERS = [
    ["platform"],                          # includes platform/posix, windows
    ["engine/base"],
    ["engine/format"],
    ["engine/io", "engine/volumes"],
    ["engine/directory"],
    ["engine/selection", "engine/entries"],
    ["engine"],                            # the archiver component
    ["widgets"],
    ["app/registry"],
    ["app/collector", "app/tzip"],
    ["app/ui"],                            # includes app/ui/fltk
    ["app"],                               # the programs' main files
]
RANK = {folder: rank for rank, folders in enumerate(LAYERS)
        for folder in folders}
TEST_ONLY = "platform/testing"

# Folders below a layer's folder that are its backends: they alone (and the
# programs' main files) may include the operating system's headers.
BACKEND_DIRS = ("posix", "windows")
OS_HEADER = re.compile(
    r"^(windows\.h|unistd\.h|fcntl\.h|termios\.h|dirent\.h|io\.h|"
    r"pthread\.h|signal\.h|sys/.*|X11/.*)$")
FLTK_HEADER = re.compile(r"^FL/")
FLTK_DIR = "app/ui/fltk"

# Faults known while the engine is being restructured, each with the move
# that ends it: (file or "link target -> target", reason). An entry that no
# longer matches a fault is reported as a note, so the list can be emptied.
PENDING_MOVES = {}

SOURCE_ROOTS = ("platform", "engine", "widgets", "app")
SOURCE_EXT = (".h", ".cc", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
CMAKE_CALL = re.compile(
    r"\b(tessaly_library|tessaly_app_library|target_link_libraries|"
    r"add_executable)\s*\(([^)]*)\)", re.S)
CMAKE_KEYWORDS = {"SOURCES", "DEPS", "PUBLIC", "PRIVATE", "INTERFACE", "WIN32"}


def folder_of(path):
    """The layer folder that holds `path` (a repository path), or None."""
    if path == TEST_ONLY or path.startswith(TEST_ONLY + "/"):
        return TEST_ONLY
    parts = os.path.dirname(path).split("/")
    while parts and parts[0]:
        candidate = "/".join(parts)
        if candidate in RANK:
            return candidate
        parts.pop()
    return None


def may_depend(own, other):
    """Whether folder `own` may include or link folder `other`."""
    if own == other:
        return True
    if own == TEST_ONLY:
        return other == "platform"
    if other == TEST_ONLY or other is None:
        return False
    return RANK[other] < RANK[own]


def source_files(root):
    for top in SOURCE_ROOTS:
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if name.endswith(SOURCE_EXT):
                    full = os.path.join(folder, name)
                    yield os.path.relpath(full, root).replace(os.sep, "/")


def is_backend_or_main(path):
    parts = path.split("/")
    if any(part in BACKEND_DIRS for part in parts[:-1]):
        return True
    return len(parts) == 2 and parts[0] == "app" and path.endswith(".cc")


def include_faults(root):
    """(key, message) for every include that breaks a rule."""
    for path in source_files(root):
        own = folder_of(path)
        if own is None or own == TEST_ONLY:
            continue
        with open(os.path.join(root, path), encoding="utf-8",
                  errors="replace") as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                kind, header = m.groups()
                where = f"{path}:{number}"
                if kind == "<":
                    if OS_HEADER.match(header) and not (
                            is_backend_or_main(path) or
                            (header.startswith("X11/") and
                             path.startswith(FLTK_DIR + "/"))):
                        yield path, (f"{where}: <{header}> is an operating "
                                     "system header outside a backend folder")
                    if FLTK_HEADER.match(header) and not (
                            path.startswith(FLTK_DIR + "/")):
                        yield path, (f"{where}: <{header}> is FLTK outside "
                                     f"{FLTK_DIR}")
                    continue
                other = folder_of(header)
                if not may_depend(own, other):
                    yield path, (f"{where}: {own} ({describe(own)}) includes "
                                 f"{header} ({describe(other, own)})")


def describe(folder, seen_from=None):
    if folder == TEST_ONLY:
        return "test doubles"
    if folder is None:
        return "outside the layers"
    if seen_from in RANK and RANK[seen_from] == RANK[folder]:
        return f"rank {RANK[folder]}: a peer"
    return f"rank {RANK[folder]}"


def cmake_targets(root):
    """{target: folder} and [(target, dependency, file)] of the CMake files."""
    owners, links = {}, []
    for top in SOURCE_ROOTS:
        for folder, _, files in os.walk(os.path.join(root, top)):
            if "CMakeLists.txt" not in files:
                continue
            cmake = os.path.join(folder, "CMakeLists.txt")
            rel = os.path.relpath(cmake, root).replace(os.sep, "/")
            with open(cmake, encoding="utf-8") as f:
                text = re.sub(r"#[^\n]*", "", f.read())
            for call, args in CMAKE_CALL.findall(text):
                words = args.split()
                if not words or words[0].startswith("$"):
                    continue  # a helper's own definition
                target = words[0]
                if call != "target_link_libraries":
                    owners.setdefault(target, folder_of(rel))
                if call == "add_executable":
                    continue
                deps = words[1:]
                if call != "target_link_libraries":
                    deps = deps[deps.index("DEPS") + 1:] if "DEPS" in deps \
                        else []
                for dep in deps:
                    if dep not in CMAKE_KEYWORDS and not dep.startswith("$"):
                        links.append((target, dep, rel))
    return owners, links


def link_faults(root):
    owners, links = cmake_targets(root)
    for target, dep, cmake in links:
        if dep not in owners:
            continue  # a system library
        own, other = owners[target], owners[dep]
        if not may_depend(own, other):
            yield f"{target} -> {dep}", (
                f"{cmake}: {target} ({own}, {describe(own)}) links {dep} "
                f"({other}, {describe(other, own)})")


def check(root, pending=None):
    """The faults of the tree at `root` not excused by `pending`, and notes
    on entries of `pending` that excuse nothing."""
    pending = PENDING_MOVES if pending is None else pending
    faults, used = [], set()
    for key, message in list(include_faults(root)) + list(link_faults(root)):
        if key in pending:
            used.add(key)
        else:
            faults.append(message)
    notes = [f"note: {key} breaks no rule any more ({reason}); "
             "drop it from PENDING_MOVES"
             for key, reason in pending.items() if key not in used]
    return faults, notes


def self_test():
    files = {
        "platform/CMakeLists.txt":
            "tessaly_library(tessaly_platform SOURCES ${s} DEPS Threads::Threads)",
        "platform/testing/CMakeLists.txt":
            "tessaly_library(tessaly_platform_testing SOURCES ${s} DEPS "
            "tessaly_platform)",
        "engine/base/CMakeLists.txt":
            "tessaly_library(tessaly_engine_base SOURCES ${s}\n"
            "  DEPS tessaly_platform)  # DEPS tessaly_engine",
        "engine/CMakeLists.txt":
            "tessaly_library(tessaly_engine SOURCES ${s} DEPS "
            "tessaly_engine_base)",
        "platform/env.h": '#include <string>\n',
        "platform/posix/posix_env.cc": '#include <unistd.h>\n'
                                       '#include "platform/env.h"\n',
        "engine/base/messages.h": '#include "platform/env.h"\n',
        "engine/archiver.h": '#include "engine/base/messages.h"\n',
    }
    broken = {
        "engine/base/options.h": ('#include "engine/archiver.h"\n',
                                  "includes engine/archiver.h"),
        "engine/volumes/names.h": ('#include "engine/io/mask.h"\n',
                                   "includes engine/io/mask.h"),
        "engine/format/crc.h": ('#include "platform/testing/fault_env.h"\n',
                                "test doubles"),
        "engine/format/zip.h": ('#include "tests/support/noise.h"\n',
                                "outside the layers"),
        "engine/format/os.cc": ("#include <unistd.h>\n",
                                "operating system header"),
        "widgets/band.cc": ("#include <FL/Fl.H>\n", "FLTK outside"),
        "platform/CMakeLists.txt": (
            "tessaly_library(tessaly_platform SOURCES ${s} DEPS\n"
            "  Threads::Threads tessaly_engine_base)",
            "links tessaly_engine_base"),
        "engine/format/CMakeLists.txt": (
            "tessaly_library(tessaly_engine_format SOURCES ${s} DEPS\n"
            "  tessaly_engine_base tessaly_platform_testing)",
            "links tessaly_platform_testing"),
    }
    failures = []

    def run(extra, pending):
        with tempfile.TemporaryDirectory() as root:
            for path, text in {**files, **extra}.items():
                full = os.path.join(root, path)
                os.makedirs(os.path.dirname(full), exist_ok=True)
                with open(full, "w", encoding="utf-8") as f:
                    f.write(text)
            return check(root, pending)

    faults, notes = run({}, {})
    if faults or notes:
        failures.append(f"a sound tree gave {faults + notes}")
    for path, (text, expected) in broken.items():
        faults, _ = run({path: text}, {})
        if len(faults) != 1 or expected not in faults[0]:
            failures.append(f"{path}: expected one fault with '{expected}', "
                            f"got {faults}")
    faults, notes = run({"engine/base/options.h":
                         broken["engine/base/options.h"][0]},
                        {"engine/base/options.h": "moves", "gone.h": "moved"})
    if faults or len(notes) != 1 or "gone.h" not in notes[0]:
        failures.append(f"pending moves: got {faults} and {notes}")
    for failure in failures:
        print("self-test:", failure)
    print(f"self-test: {len(broken) + 2 - len(failures)} of "
          f"{len(broken) + 2} cases passed")
    return 1 if failures else 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    if len(argv) != 2:
        print(__doc__)
        return 2
    faults, notes = check(argv[1])
    for line in notes + faults:
        print(line)
    print(f"layering: {len(faults)} fault(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
