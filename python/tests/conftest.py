"""Shared set-up: the library under test and the card it runs on.

The library's state is process-wide and it reads VELTOSOUND_SYSTEM once, so
this process runs on tests/card.json; tests that need another description
start a Python of their own (run_python).

With VELTOSOUND_TEST_INSTALLED=1 they run on the veltosound that Python finds
(an installed wheel) and the library it bundles, not on the source tree.
"""

import os
import pathlib
import subprocess
import sys

import pytest

HERE = pathlib.Path(__file__).resolve().parent
PACKAGE_ROOT = HERE.parent  # python/, which holds the veltosound package
REPOSITORY = PACKAGE_ROOT.parent
CARD = HERE / "card.json"
INSTALLED = os.environ.get("VELTOSOUND_TEST_INSTALLED") == "1"

if not INSTALLED:
    sys.path.insert(0, str(PACKAGE_ROOT))
import veltosound  # noqa: E402


def library_path():
    path = os.environ.get(veltosound.LIBRARY_VARIABLE)
    if path or INSTALLED:
        return path
    built = REPOSITORY / "build" / "default" / "libveltosound.so.1"
    if built.exists():
        return str(built)
    pytest.exit(f"set {veltosound.LIBRARY_VARIABLE} to the built libveltosound.so", returncode=2)


def run_python(code, system, cwd=None):
    """Runs code in a fresh Python over the description `system` (a path)."""
    env = dict(os.environ, VELTOSOUND_SYSTEM=str(system))
    if not INSTALLED:
        env.update(PYTHONPATH=str(PACKAGE_ROOT), **{veltosound.LIBRARY_VARIABLE: library_path()})
    return subprocess.run([sys.executable, "-c", code], env=env, cwd=cwd, capture_output=True,
                          text=True, timeout=60)


@pytest.fixture(scope="session")
def mixer():
    os.environ["VELTOSOUND_SYSTEM"] = str(CARD)
    return veltosound.Mixer(library_path())


@pytest.fixture
def card(mixer):
    """The mixer, left unbound after each test (controls put back as found)."""
    yield mixer
    mixer.close(restore=True)
    mixer.close_virtual()
