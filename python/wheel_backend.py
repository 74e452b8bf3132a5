"""The build backend of the veltosound package: makes its wheel.

A wheel is a zip file with a fixed layout, so the package builds itself
rather than through setuptools: pip then needs nothing from an index (the
build requirements are empty, so `pip install python/` works offline in any
environment, with or without setuptools and wheel), and nothing is written
into the source tree.

Without settings the wheel is pure Python (py3-none-any) and the module finds
the library by name or through VELTOSOUND_LIBRARY. With the setting
`library=PATH` (`pip wheel --config-settings library=PATH python/`) the
library goes inside the package, and the wheel's platform tag is read from
the library's own header: an ELF x86-64 file gives linux_x86_64, a PE file
win32 or win_amd64 by its machine field.
"""

import base64
import hashlib
import pathlib
import struct
import zipfile

from veltosound import __version__
from veltosound._exports import pe_width

SOURCE = pathlib.Path(__file__).resolve().parent
PACKAGE = "veltosound"
_PE_PLATFORMS = {32: "win32", 64: "win_amd64"}
_ELF_PLATFORMS = {0x3E: "linux_x86_64", 0xB7: "linux_aarch64", 0x03: "linux_i686"}


def library_platform(path):
    """(platform tag, name the library has inside the package) of a library file."""
    width = pe_width(path)
    if width:
        return _PE_PLATFORMS[width], "VeltoSound.dll"
    head = pathlib.Path(path).read_bytes()[:20]
    machine = struct.unpack_from("<H", head, 18)[0] if head[:4] == b"\x7fELF" else None
    if machine in _ELF_PLATFORMS:
        return _ELF_PLATFORMS[machine], "libveltosound.so"
    raise ValueError(f"{path} is not a VeltoSound library of a known platform")


def _metadata(version):
    readme = (SOURCE / "README.md").read_text()
    return (f"Metadata-Version: 2.1\nName: {PACKAGE}\nVersion: {version}\n"
            "Summary: ctypes bindings for VeltoSound.dll / libveltosound.so, "
            "a flat C sound-card mixer\n"
            "License: MIT\nRequires-Python: >=3.7\n"
            "Classifier: Operating System :: Microsoft :: Windows\n"
            "Classifier: Operating System :: POSIX :: Linux\n"
            "Description-Content-Type: text/markdown\n\n" + readme)


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}\n"


def _wheel_files(library, version):
    """{name in the wheel: bytes} and the wheel's tag."""
    files = {f"{PACKAGE}/{p.name}": p.read_bytes()
             for p in sorted((SOURCE / PACKAGE).glob("*.py"))}
    tag, pure = "py3-none-any", "true"
    if library:
        platform, name = library_platform(library)
        files[f"{PACKAGE}/{name}"] = pathlib.Path(library).read_bytes()
        tag, pure = f"py3-none-{platform}", "false"
    info = f"{PACKAGE}-{version}.dist-info"
    files[f"{info}/METADATA"] = _metadata(version).encode()
    files[f"{info}/WHEEL"] = (f"Wheel-Version: 1.0\nGenerator: {PACKAGE} wheel_backend\n"
                              f"Root-Is-Purelib: {pure}\nTag: {tag}\n").encode()
    files[f"{info}/top_level.txt"] = f"{PACKAGE}\n".encode()
    licence = SOURCE.parent / "LICENSE"
    if licence.exists():
        files[f"{info}/LICENSE"] = licence.read_bytes()
    return files, tag


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    version = __version__
    files, tag = _wheel_files((config_settings or {}).get("library"), version)
    info = f"{PACKAGE}-{version}.dist-info"
    record = "".join(_record_line(name, data) for name, data in files.items())
    name = f"{PACKAGE}-{version}-{tag}.whl"
    with zipfile.ZipFile(pathlib.Path(wheel_directory) / name, "w", zipfile.ZIP_DEFLATED) as wheel:
        for entry, data in files.items():
            wheel.writestr(entry, data)
        wheel.writestr(f"{info}/RECORD", record + f"{info}/RECORD,,\n")
    return name


def get_requires_for_build_wheel(config_settings=None):
    return []
