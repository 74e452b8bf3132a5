#!/usr/bin/env python3
"""Fails when an include goes back up a layer in src/ or tools/veltomix/, when
two of veltomix's modules (a header and its source) include each other
however indirectly, or when a veltomix file reaches 400 lines.

The layers, lowest first; a folder may include its own and lower ones only.
Within src/ a folder is the unit: the simulator's engine and its objects, and
the tracer's platform and its objects, are each one piece split over files.
"""
import re
import sys
from pathlib import Path

LAYERS = [
    ["src/platform"],
    ["src/core"],
    ["src/enumeration", "src/topology", "src/controls"],
    ["src/binding"],
    # veltomix's rooms, each on those before it.
    ["tools/veltomix/common"],
    ["tools/veltomix/calls"],
    ["tools/veltomix/mixer"],
    ["tools/veltomix/system"],
    ["tools/veltomix/why"],
    ["tools/veltomix/commands"],
    ["tools/veltomix/cli"],
    ["tools/veltomix"],
]
ROOTS = ["src", "include", "tools/veltomix"]
MAX_LINES = 400
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of(path):
    best = None
    for rank, folders in enumerate(LAYERS):
        for folder in folders:
            if (path + "/").startswith(folder + "/") and (best is None or len(folder) > len(best[1])):
                best = (rank, folder)
    return best


def resolve(root, source, name):
    for base in [source.parent] + [root / r for r in ROOTS]:
        target = base / name
        if target.is_file():
            return target.resolve().relative_to(root).as_posix()
    return None


def main(root):
    root = Path(root).resolve()
    files = [p for top in ("src", "tools") for p in (root / top).rglob("*") if p.suffix in (".h", ".cpp")]
    problems = []
    graph = {}
    for source in files:
        path = source.relative_to(root).as_posix()
        text = source.read_text(encoding="utf-8", errors="replace")
        if path.startswith("tools/veltomix/") and text.count("\n") >= MAX_LINES:
            problems.append(f"{path}: {text.count(chr(10))} lines, the limit is {MAX_LINES - 1}")
        module = path.rsplit(".", 1)[0]
        mine = layer_of(path)
        for name in INCLUDE.findall(text):
            target = resolve(root, source, name)
            if target is None:
                continue
            theirs = layer_of(target)
            if mine and theirs and theirs[0] > mine[0]:
                problems.append(f"{path} includes {name}, a layer up ({theirs[1]} over {mine[1]})")
            other = target.rsplit(".", 1)[0]
            if other != module and module.startswith("tools/"):
                graph.setdefault(module, set()).add(other)
    problems += cycles(graph)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


def cycles(graph):
    found, state = [], {}

    def visit(node, stack):
        state[node] = "open"
        stack.append(node)
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                found.append("include cycle: " + " -> ".join(stack[stack.index(nxt):] + [nxt]))
            elif nxt not in state:
                visit(nxt, stack)
        stack.pop()
        state[node] = "done"

    for node in sorted(graph):
        if node not in state:
            visit(node, [])
    return found


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
