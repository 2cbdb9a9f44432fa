#!/usr/bin/env python3
"""Keeps the simulated device's core layered.

The folders of sim/core stand in one order, each above the ones before it:

    base      what every part reads: the journal, the profile's data, the
              person, the clock, text, host files, device paths
    kernel    processes, modules, kernel objects, time
    registry  the registry
    files     the file store and the state folder
    resources compiled resources, dialog templates, bitmaps
    gdi       device contexts, drawing, fonts, the screen
    user      windows, messages, input, dialogs, controls
    shell     desktop, task bar, shortcuts
    drivers   GAPI, sound, LEDs, serial
    device    power-on, reset and power-off, the profile's rules, pictures

A file may include files of its own folder and of the folders below it,
never of one above; and no chain of includes may come back to where it
started.  Every `#include "..."` that names a file of the core is read; each
one against the order, and each cycle, is told with its file and line, and
the check fails.

    scripts/check-layers.py [CORE_DIR]      check (default: sim/core)
    scripts/check-layers.py --cycles [DIR]  list the cycles between folders
                                            and between files, and pass
"""
import os
import re
import sys

ORDER = ["base", "kernel", "registry", "files", "resources", "gdi", "user", "shell", "drivers", "device"]
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCES = (".h", ".cpp")


def read_includes(core):
    """[(file, line, target)] for each include of a core file by a core file."""
    found = []
    for folder, _, names in sorted(os.walk(core)):
        for name in sorted(names):
            if not name.endswith(SOURCES):
                continue
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, core).replace(os.sep, "/")
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, text in enumerate(f, 1):
                    m = INCLUDE.match(text)
                    if not m:
                        continue
                    target = m.group(1)
                    if not os.path.isfile(os.path.join(core, target)):
                        # Beside the including file, the compiler's first look.
                        beside = os.path.normpath(os.path.join(os.path.dirname(rel), target)).replace(os.sep, "/")
                        if not os.path.isfile(os.path.join(core, beside)):
                            continue  # not the core's (<windows.h>'s kin, the program's platform/)
                        target = beside
                    found.append((rel, number, target))
    return found


def folder_of(rel):
    return rel.split("/")[0] if "/" in rel else ""


def strongly_connected(nodes, edges):
    """Tarjan's algorithm: the components of more than one node, or of a node
    that reaches itself."""
    index, low, on_stack, stack, out = {}, {}, set(), [], []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            comp = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                comp.append(w)
                if w == v:
                    break
            if len(comp) > 1 or v in edges.get(v, ()):
                out.append(sorted(comp))

    sys.setrecursionlimit(10000)
    for v in sorted(nodes):
        if v not in index:
            visit(v)
    return out


def graphs(includes):
    files, folders = {}, {}
    for src, _, target in includes:
        files.setdefault(src, set()).add(target)
        files.setdefault(target, set())
        a, b = folder_of(src), folder_of(target)
        folders.setdefault(a, set())
        folders.setdefault(b, set())
        if a != b:
            folders[a].add(b)
    return files, folders


def check(core):
    includes = read_includes(core)
    problems = []
    rank = {name: i for i, name in enumerate(ORDER)}
    for folder in sorted(d for d in os.listdir(core) if os.path.isdir(os.path.join(core, d))):
        if folder not in rank:
            problems.append(f"{core}/{folder}/: a folder with no place in the order of scripts/check-layers.py")
    for src, line, target in includes:
        a, b = folder_of(src), folder_of(target)
        if a in rank and b in rank and rank[b] > rank[a]:
            problems.append(f"{core}/{src}:{line}: includes {target}, but {b}/ stands above {a}/")
    files, _ = graphs(includes)
    where = {(src, target): line for src, line, target in includes}
    for comp in strongly_connected(files, files):
        members = set(comp)
        for src in comp:
            for target in sorted(files[src] & members):
                problems.append(f"{core}/{src}:{where[(src, target)]}: includes {target}, which closes a cycle of "
                                + ", ".join(comp))
    return problems


def main(argv):
    cycles = "--cycles" in argv
    args = [a for a in argv if a != "--cycles"]
    core = args[0] if args else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "sim", "core")
    core = os.path.relpath(core)
    if cycles:
        files, folders = graphs(read_includes(core))
        for label, graph in (("folders", folders), ("files", files)):
            comps = strongly_connected(graph, graph)
            print(f"cycles between {label}: {len(comps)}")
            for comp in comps:
                print("  " + ", ".join(comp))
        return 0
    problems = check(core)
    for p in problems:
        print(p)
    if problems:
        print(f"The core's layers: {len(problems)} include(s) against the order " + " < ".join(ORDER))
        return 1
    print("The core's layers: every include follows the order " + " < ".join(ORDER))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
