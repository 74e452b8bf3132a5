#!/usr/bin/env python3
"""Fails on an include going up a layer in src/ or tools/veltomix/, on two of
veltomix's modules (a header and its source) including each other however
indirectly, and on a veltomix file of 400 lines or more. Within src/ a folder
is the unit: the simulator's engine and its objects, and the tracer's
platform and its objects, are each one piece split over files."""
import re
import sys
from pathlib import Path

# Lowest first; a folder may include its own and lower ones only.
LAYERS = [["src/platform"], ["src/core"], ["src/enumeration", "src/topology", "src/controls"],
          ["src/binding"]] + [["tools/veltomix/" + room] for room in
                              ["common", "calls", "mixer", "system", "why", "commands", "cli", ""]]
ROOTS = ["src", "include", "tools/veltomix"]


def layer(path):
    ranks = [(len(f), rank) for rank, fs in enumerate(LAYERS) for f in fs
             if (path + "/").startswith(f.rstrip("/") + "/")]
    return max(ranks)[1] if ranks else None


def main(root):
    root = Path(root).resolve()
    problems, graph = [], {}
    for source in sorted(p for top in ("src", "tools") for p in (root / top).rglob("*.[ch]*")):
        path, text = source.relative_to(root).as_posix(), source.read_text(errors="replace")
        if path.startswith("tools/veltomix/") and text.count("\n") >= 400:
            problems.append(f"{path}: {text.count(chr(10))} lines, 400 or more")
        module = path.rsplit(".", 1)[0]
        for name in re.findall(r'^\s*#\s*include\s+"([^"]+)"', text, re.M):
            found = [b / name for b in [source.parent] + [root / r for r in ROOTS] if (b / name).is_file()]
            if not found:
                continue
            target = found[0].resolve().relative_to(root).as_posix()
            if None not in (layer(path), layer(target)) and layer(target) > layer(path):
                problems.append(f"{path} includes {name}, a layer up")
            if path.startswith("tools/") and target.rsplit(".", 1)[0] != module:
                graph.setdefault(module, set()).add(target.rsplit(".", 1)[0])
    problems += [f"include cycle: {' -> '.join(c)}" for c in cycles(graph)]
    print("\n".join(problems))
    return 1 if problems else 0


def cycles(graph):
    found, state = [], {}

    def visit(node, stack):
        state[node] = "open"
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                found.append(stack[stack.index(nxt):] + [nxt])
            elif nxt not in state:
                visit(nxt, stack + [nxt])
        state[node] = "done"

    for node in sorted(graph):
        if node not in state:
            visit(node, [node])
    return found


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
