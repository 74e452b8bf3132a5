"""The documentation's examples, taken from the markdown so they cannot drift.

Two marks, as HTML comments on the line before a fenced block:

    <!-- file: NAME -->   the block is the whole file NAME
    <!-- session -->      the block holds "$ command" lines, each followed by
                          the exact output the command prints on stdout
"""

import pathlib
import re
import subprocess
from dataclasses import dataclass

_BLOCK = re.compile(r"<!-- (file: (?P<name>[^ ]+)|session) -->\n```[^\n]*\n(?P<body>.*?)^```",
                    re.MULTILINE | re.DOTALL)


@dataclass
class Step:
    command: str
    output: str


def files(markdown: pathlib.Path):
    """{name: content} of every file block."""
    return {m["name"]: m["body"] for m in _BLOCK.finditer(markdown.read_text()) if m["name"]}


def sessions(markdown: pathlib.Path):
    """Every session block as a list of steps."""
    found = []
    for match in _BLOCK.finditer(markdown.read_text()):
        if match["name"]:
            continue
        steps = []
        for line in match["body"].splitlines(keepends=True):
            if line.startswith("$ "):
                steps.append(Step(line[2:].rstrip("\n"), ""))
            elif steps:
                steps[-1].output += line
            else:
                raise ValueError(f"{markdown}: a session starts with output: {line!r}")
        found.append(steps)
    return found


def write_files(markdown, directory):
    for name, content in files(markdown).items():
        (directory / name).write_text(content)


def run_session(steps, cwd, env):
    """Runs each step in bash; returns (step, stdout, stderr) of the first
    that exits nonzero or prints other than the documented output, or None."""
    for step in steps:
        result = subprocess.run(["bash", "-c", step.command], cwd=cwd, env=env,
                                capture_output=True, text=True, timeout=300)
        if result.returncode != 0 or result.stdout != step.output:
            return step, result
    return None
