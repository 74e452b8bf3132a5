"""The examples of docs/host-guide.md and docs/sound-system-format.md run as
shown: each documented command, run on the files the documents hold, prints
exactly the output the documents show.

Run by ctest, which sets VELTO_BUILD_DIR (a Linux build, installed here into
a scratch prefix for the host guide's pkg-config commands) and VELTOMIX.
"""

import difflib
import os
import pathlib
import shutil
import subprocess

import pytest

import doc_examples

REPOSITORY = pathlib.Path(__file__).resolve().parents[2]
GUIDE = REPOSITORY / "docs" / "host-guide.md"
FORMAT = REPOSITORY / "docs" / "sound-system-format.md"
# Run under Wine by tests/wine, not here.
WINDOWS_ONLY = {"load_at_run_time.c"}


def setting(name):
    value = os.environ.get(name)
    if not value:
        pytest.fail(f"{name} is not set (ctest sets it)")
    return value


def failure_report(step, result):
    diff = "".join(difflib.unified_diff(step.output.splitlines(keepends=True),
                                        result.stdout.splitlines(keepends=True),
                                        "documented", "printed"))
    return f"$ {step.command}\nexit {result.returncode}\n{diff}\nstderr:\n{result.stderr}"


def clean_environment(**extra):
    env = {k: v for k, v in os.environ.items()
           if k not in ("VELTOSOUND_SYSTEM", "VELTOSOUND_LIBRARY")}
    env.update(extra)
    return env


@pytest.fixture(scope="module")
def prefix(tmp_path_factory):
    path = tmp_path_factory.mktemp("prefix")
    subprocess.run(["cmake", "--install", setting("VELTO_BUILD_DIR"), "--prefix", str(path)],
                   check=True, capture_output=True, timeout=120)
    return path


def session_ids(markdown):
    return [f"{markdown.stem}-{i}" for i, _ in enumerate(doc_examples.sessions(markdown))]


@pytest.mark.parametrize("index", range(len(doc_examples.sessions(FORMAT))),
                         ids=session_ids(FORMAT))
def test_the_format_example_binds_what_the_text_says(tmp_path, index):
    doc_examples.write_files(FORMAT, tmp_path)
    veltomix_dir = str(pathlib.Path(setting("VELTOMIX")).parent)
    env = clean_environment(PATH=veltomix_dir + os.pathsep + os.environ.get("PATH", ""))
    failed = doc_examples.run_session(doc_examples.sessions(FORMAT)[index], tmp_path, env)
    assert failed is None, failure_report(*failed)


@pytest.mark.parametrize("index", range(len(doc_examples.sessions(GUIDE))),
                         ids=session_ids(GUIDE))
def test_the_host_guide_examples_run_as_shown(tmp_path, prefix, index):
    steps = doc_examples.sessions(GUIDE)[index]
    if steps[0].command.startswith("mcs ") and not (shutil.which("mcs") and shutil.which("mono")):
        pytest.skip("Mono is not installed (Debian: mono-mcs, mono-runtime)")
    doc_examples.write_files(FORMAT, tmp_path)
    doc_examples.write_files(GUIDE, tmp_path)
    env = clean_environment(PREFIX=str(prefix), PYTHONPATH=str(REPOSITORY / "python"))
    failed = doc_examples.run_session(steps, tmp_path, env)
    assert failed is None, failure_report(*failed)


@pytest.mark.parametrize("markdown", [GUIDE, FORMAT], ids=lambda p: p.name)
def test_every_example_file_is_run(markdown):
    commands = " ".join(step.command for steps in doc_examples.sessions(markdown)
                        for step in steps)
    unused = [name for name in doc_examples.files(markdown)
              if name not in commands and name not in WINDOWS_ONLY]
    assert unused == []
