"""The packages a user installs, as they get them: the Python wheel of a build
(VELTO_WHEEL) and the NuGet package (VELTO_NUPKG, with the runtimes
VELTO_NUPKG_RUNTIMES lists), unpacked or installed away from the source tree.
"""

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

ELF_X86_64, PE_I386, PE_AMD64 = ("ELF", 0x3E), ("PE", 0x14C), ("PE", 0x8664)
# Wheel platform tag or NuGet runtime: the library it carries and its machine.
LIBRARIES = {
    "linux_x86_64": ("libveltosound.so", ELF_X86_64),
    "win32": ("VeltoSound.dll", PE_I386),
    "win_amd64": ("VeltoSound.dll", PE_AMD64),
    "linux-x64": ("libveltosound.so", ELF_X86_64),
    "win-x86": ("VeltoSound.dll", PE_I386),
    "win-x64": ("VeltoSound.dll", PE_AMD64),
}


def machine(data):
    if data[:4] == b"\x7fELF":
        return "ELF", struct.unpack_from("<H", data, 18)[0]
    header = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[:2] == b"MZ" and data[header:header + 4] == b"PE\0\0"
    return "PE", struct.unpack_from("<H", data, header + 4)[0]


def setting(name):
    value = os.environ.get(name)
    if not value:
        pytest.skip(f"{name} is not set: this build makes no such package")
    return value


@pytest.fixture(scope="module")
def wheel():
    path = pathlib.Path(setting("VELTO_WHEEL"))
    return path, path.stem.split("-")[-1]


def test_the_wheel_holds_the_library_of_its_platform(wheel):
    path, platform = wheel
    library, expected_machine = LIBRARIES[platform]
    with zipfile.ZipFile(path) as archive:
        info = "veltosound-1.0.0.dist-info"
        assert sorted(archive.namelist()) == sorted([
            "veltosound/__init__.py", "veltosound/_exports.py", f"veltosound/{library}",
            *(f"{info}/{name}" for name in ("METADATA", "WHEEL", "top_level.txt", "LICENSE",
                                           "RECORD"))])
        assert f"Tag: py3-none-{platform}\n" in archive.read(f"{info}/WHEEL").decode()
        assert "Root-Is-Purelib: false\n" in archive.read(f"{info}/WHEEL").decode()
        assert machine(archive.read(f"veltosound/{library}")) == expected_machine


def test_the_linux_wheel_in_a_fresh_environment_runs_the_guide_and_the_module_tests(
        wheel, tmp_path):
    path, platform = wheel
    if not platform.startswith("linux"):
        pytest.skip("a Windows wheel")
    venv = tmp_path / "venv"
    # pytest from the system's site packages; pip from the Python running this.
    subprocess.run([sys.executable, "-m", "venv", "--without-pip", "--system-site-packages",
                    str(venv)], check=True, timeout=120)
    subprocess.run([sys.executable, "-m", "pip", "--python", str(venv / "bin" / "python"),
                    "install", "--quiet", "--no-index", "--no-deps", "--no-cache-dir", str(path)],
                   check=True, timeout=120, cwd=tmp_path)
    # Nothing but the wheel can give the module its library: no search path,
    # no VELTOSOUND_LIBRARY, an empty prefix for the guide's LD_LIBRARY_PATH.
    env = {k: v for k, v in os.environ.items()
           if k not in ("VELTOSOUND_LIBRARY", "VELTOSOUND_SYSTEM", "PYTHONPATH",
                        "LD_LIBRARY_PATH")}
    env.update(PATH=f"{venv / 'bin'}{os.pathsep}{env['PATH']}", PREFIX=str(tmp_path / "none"))
    guide, card_format = REPOSITORY / "docs" / "host-guide.md", REPOSITORY / "docs" / "sound-system-format.md"
    session = next(s for s in doc_examples.sessions(guide) if "python3 mixer_tour.py" in s[0].command)
    doc_examples.write_files(guide, tmp_path)
    doc_examples.write_files(card_format, tmp_path)
    failed = doc_examples.run_session(session, tmp_path, env)
    assert failed is None, f"{failed[1].stdout}\n{failed[1].stderr}" if failed else ""
    result = subprocess.run([str(venv / "bin" / "python"), "-m", "pytest", "-q", "-p",
                             "no:cacheprovider", str(REPOSITORY / "python" / "tests")],
                            env=dict(env, VELTOSOUND_TEST_INSTALLED="1"), cwd=tmp_path,
                            capture_output=True, text=True, timeout=300)
    assert result.returncode == 0, result.stdout + result.stderr


def test_the_nuget_package_holds_every_runtime_and_runs_the_csharp_tests(tmp_path):
    with zipfile.ZipFile(setting("VELTO_NUPKG")) as package:
        package.extractall(tmp_path / "package")
    unpacked = tmp_path / "package"
    runtimes = setting("VELTO_NUPKG_RUNTIMES").split(",")
    assert sorted(p.name for p in (unpacked / "runtimes").iterdir()) == sorted(runtimes)
    for runtime in runtimes:
        library, expected_machine = LIBRARIES[runtime]
        native = unpacked / "runtimes" / runtime / "native"
        assert [p.name for p in native.iterdir()] == [library]
        assert machine((native / library).read_bytes()) == expected_machine, runtime
    assembly = unpacked / "lib" / "net45" / "VeltoSound.Net.dll"
    program = tmp_path / "VeltoSoundTests.exe"
    subprocess.run(["mcs", "-nologo", f"-r:{assembly}", "-r:System.Core.dll", f"-out:{program}",
                    str(REPOSITORY / "tests" / "csharp" / "VeltoSoundTests.cs")],
                   check=True, timeout=120)
    env = dict(os.environ, MONO_PATH=str(assembly.parent),
               LD_LIBRARY_PATH=str(unpacked / "runtimes" / "linux-x64" / "native"),
               VELTOSOUND_SYSTEM=str(REPOSITORY / "python" / "tests" / "card.json"))
    result = subprocess.run(["mono", str(program), str(REPOSITORY)], env=env, cwd=tmp_path,
                            capture_output=True, text=True, timeout=300)
    assert result.returncode == 0, result.stdout + result.stderr
    assert re.search(r"^0 of [1-9][0-9]* cases failed$", result.stdout, re.MULTILINE)
