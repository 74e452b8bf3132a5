"""The packages as a user gets them, away from the source tree: the wheel of a
build (VELTO_WHEEL) and the NuGet package (VELTO_NUPKG, with the runtimes
VELTO_NUPKG_RUNTIMES lists)."""

import os
import pathlib
import re
import struct
import subprocess
import sys
import zipfile

import pytest

REPOSITORY = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPOSITORY / "tests" / "docs"))
import doc_examples  # noqa: E402

# Wheel platform tag or NuGet runtime: the library inside and its machine.
ELF_X86_64, PE_I386, PE_AMD64 = ("ELF", 0x3E), ("PE", 0x14C), ("PE", 0x8664)
LIBRARIES = {
    "linux_x86_64": ("libveltosound.so", ELF_X86_64), "linux-x64": ("libveltosound.so", ELF_X86_64),
    "win32": ("VeltoSound.dll", PE_I386), "win-x86": ("VeltoSound.dll", PE_I386),
    "win_amd64": ("VeltoSound.dll", PE_AMD64), "win-x64": ("VeltoSound.dll", PE_AMD64)}


def machine(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0] if data[:2] == b"MZ" else None
    return ("ELF", struct.unpack_from("<H", data, 18)[0]) if data[:4] == b"\x7fELF" else \
        ("PE", struct.unpack_from("<H", data, pe + 4)[0]) if data[pe:pe + 4] == b"PE\0\0" else None


def package(name):
    if not os.environ.get(name):
        pytest.skip(f"{name} is not set: this build makes no such package")
    return pathlib.Path(os.environ[name])


def test_the_wheel_holds_the_library_of_its_platform():
    path = package("VELTO_WHEEL")
    platform, info = path.stem.split("-")[-1], "veltosound-1.0.0.dist-info/"
    library, expected = LIBRARIES[platform]
    with zipfile.ZipFile(path) as wheel:
        assert sorted(wheel.namelist()) == sorted(
            ["veltosound/__init__.py", "veltosound/_exports.py", f"veltosound/{library}"]
            + [info + name for name in ("METADATA", "WHEEL", "top_level.txt", "LICENSE", "RECORD")])
        tags = wheel.read(info + "WHEEL").decode()
        assert f"Root-Is-Purelib: false\nTag: py3-none-{platform}\n" in tags
        assert machine(wheel.read(f"veltosound/{library}")) == expected


def test_the_linux_wheel_in_a_fresh_environment_runs_the_guide_and_the_module_tests(tmp_path):
    wheel, venv = package("VELTO_WHEEL"), tmp_path / "venv"
    if "linux" not in wheel.name:
        pytest.skip("a Windows wheel")
    # pytest from the system's site packages; pip from the Python running this.
    subprocess.run([sys.executable, "-m", "venv", "--without-pip", "--system-site-packages", venv],
                   check=True)
    subprocess.run([sys.executable, "-m", "pip", "--python", venv / "bin" / "python", "install",
                    "--quiet", "--no-index", "--no-cache-dir", wheel], check=True, cwd=tmp_path)
    # Only the wheel can give the module its library: no library path or
    # variable, an empty prefix for the guide's LD_LIBRARY_PATH.
    env = {k: v for k, v in os.environ.items() if k not in (
        "VELTOSOUND_LIBRARY", "VELTOSOUND_SYSTEM", "PYTHONPATH", "LD_LIBRARY_PATH")}
    env.update(PATH=f"{venv / 'bin'}{os.pathsep}{env['PATH']}", PREFIX=str(tmp_path / "none"))
    for document in ("host-guide.md", "sound-system-format.md"):
        doc_examples.write_files(REPOSITORY / "docs" / document, tmp_path)
    session = next(s for s in doc_examples.sessions(REPOSITORY / "docs" / "host-guide.md")
                   if "python3 mixer_tour.py" in s[0].command)
    failed = doc_examples.run_session(session, tmp_path, env)
    assert failed is None, failed and failed[1].stdout + failed[1].stderr
    tests = subprocess.run([venv / "bin" / "python", "-m", "pytest", "-q", "-p", "no:cacheprovider",
                            REPOSITORY / "python" / "tests"], cwd=tmp_path, capture_output=True,
                           text=True, env=dict(env, VELTOSOUND_TEST_INSTALLED="1"))
    assert tests.returncode == 0, tests.stdout + tests.stderr


def test_the_nuget_package_holds_every_runtime_and_runs_the_csharp_tests(tmp_path):
    with zipfile.ZipFile(package("VELTO_NUPKG")) as nupkg:
        nupkg.extractall(tmp_path)
    runtimes = os.environ["VELTO_NUPKG_RUNTIMES"].split(",")
    assert sorted(p.name for p in (tmp_path / "runtimes").iterdir()) == sorted(runtimes)
    for runtime in runtimes:
        library, expected = LIBRARIES[runtime]
        native = tmp_path / "runtimes" / runtime / "native"
        assert [p.name for p in native.iterdir()] == [library]
        assert machine((native / library).read_bytes()) == expected, runtime
    assembly, program = tmp_path / "lib" / "net45" / "VeltoSound.Net.dll", tmp_path / "tests.exe"
    subprocess.run(["mcs", "-nologo", f"-r:{assembly}", "-r:System.Core.dll", f"-out:{program}",
                    REPOSITORY / "tests" / "csharp" / "VeltoSoundTests.cs"], check=True)
    env = dict(os.environ, MONO_PATH=str(assembly.parent),
               LD_LIBRARY_PATH=str(tmp_path / "runtimes" / "linux-x64" / "native"),
               VELTOSOUND_SYSTEM=str(REPOSITORY / "python" / "tests" / "card.json"))
    tests = subprocess.run(["mono", program, REPOSITORY], env=env, capture_output=True, text=True)
    assert re.search(r"^0 of [1-9]\d* cases failed$", tests.stdout, re.M), tests.stdout + tests.stderr
