"""Loading the library and declaring its 44 exports for ctypes.

Every export gets its argtypes and restype here: without them ctypes passes a
Python float as an int, a str as a wide string, and nothing checks the
argument count.
"""

import ctypes
import os
import struct
from ctypes import POINTER, c_char_p, c_double, c_int, c_uint

_INT_P = POINTER(c_int)
_DOUBLE_P = POINTER(c_double)

# name: (restype, argtypes); restype None is a function without a result.
SIGNATURES = {
    # Binding
    "OpenSoundCard": (c_int, [c_char_p, c_char_p, c_char_p]),
    "CloseSoundCard": (c_int, [c_int]),
    "OpenDefaultDevices": (c_int, []),
    "OpenVirtual_1": (c_int, [c_char_p]),
    "CloseVirtual_1": (c_int, []),
    # Enumeration and names; the name buffers are written, so they are
    # passed as ctypes string buffers.
    "GetDeviceNames": (None, [c_char_p, c_char_p, c_char_p]),
    "GetNumberPlayDevices": (c_int, [_INT_P]),
    "GetNumberRecordDevices": (c_int, [_INT_P]),
    "GetPlayBackDevice": (c_int, [c_uint, c_char_p, c_char_p]),
    "GetRecordDevice": (c_int, [c_uint, c_char_p, c_char_p]),
    # Volumes in percent
    "GetMasterVolume": (c_int, [_INT_P]),
    "SetMasterVolume": (c_int, [c_int, _INT_P]),
    "SetLinePlayBack": (c_int, [c_int, _INT_P]),
    "SetMicPlayBack": (c_int, [c_int, _INT_P]),
    "GetLinePlayBack": (c_int, [_INT_P]),
    "GetMicPlayBack": (c_int, [_INT_P]),
    "GetMicRecordVolume": (c_int, [_INT_P]),
    "SetMicRecordVolume": (c_int, [c_int, _INT_P]),
    "GetLineRecordVolume": (c_int, [_INT_P]),
    "SetLineRecordVolume": (c_int, [c_int, _INT_P]),
    "GetVirtualVolume": (c_int, [_INT_P]),
    "SetVirtualVolume": (c_int, [c_int, _INT_P]),
    # Mutes and switches
    "GetMasterMute": (c_int, [_INT_P]),
    "SetMasterMute": (c_int, [c_int, _INT_P]),
    "SetLinePlayBackMute": (c_int, [c_int, _INT_P]),
    "GetLinePlayBackMute": (c_int, [_INT_P]),
    "SetMicPlayBackMute": (c_int, [c_int, _INT_P]),
    "GetMicPlayBackMute": (c_int, [_INT_P]),
    "SetMicBoost": (c_int, [c_int, _INT_P]),
    "GetMicBoost": (c_int, [_INT_P]),
    "GetNoMonitor": (c_int, [_INT_P]),
    "SetNoMonitor": (c_int, [c_int, _INT_P]),
    "SetVirtualMute": (c_int, [c_int, _INT_P]),
    "GetVirtualMute": (c_int, [_INT_P]),
    # Tone controls
    "GetEQRange": (c_int, [_DOUBLE_P, _DOUBLE_P, _DOUBLE_P]),
    "SetBass": (c_int, [c_double, _INT_P]),
    "GetBass": (c_int, [_DOUBLE_P, _INT_P]),
    "SetTreble": (c_int, [c_double, _INT_P]),
    "GetTreble": (c_int, [_DOUBLE_P, _INT_P]),
    "SetMidRange": (c_int, [c_double, _INT_P]),
    "GetMidRange": (c_int, [_DOUBLE_P, _INT_P]),
    # Microphone boost slider; the status pointer comes first in the details.
    "GetMicSliderBoost": (c_int, [_INT_P]),
    "GetMicSliderDetails": (c_int, [_INT_P, _INT_P, _INT_P, _INT_P]),
    "SetMicSliderBoost": (c_int, [c_int, _INT_P]),
}

# The environment variable that names the library file to load.
LIBRARY_VARIABLE = "VELTOSOUND_LIBRARY"

_PE_WIDTHS = {0x14C: 32, 0x8664: 64}


class LibraryNotFoundError(OSError):
    """The library could not be loaded; the message says what to set."""


def default_library_name():
    return "VeltoSound.dll" if os.name == "nt" else "libveltosound.so.1"


def bundled_library():
    """The library a platform wheel puts inside the package, or None."""
    name = "VeltoSound.dll" if os.name == "nt" else "libveltosound.so"
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), name)
    return path if os.path.exists(path) else None


def load(path=None):
    """Loads the library and declares every export.

    The path is, in this order, the argument, the VELTOSOUND_LIBRARY
    environment variable, the library a platform wheel bundles, or the plain
    library name (found by the system's search rules: on Windows the
    application's directory, System32 and directories added with
    os.add_dll_directory, not PATH).
    """
    path = path or os.environ.get(LIBRARY_VARIABLE) or bundled_library() or default_library_name()
    try:
        # __stdcall exports: WinDLL (on 64-bit Windows there is only one
        # convention, and WinDLL works as well).
        library = ctypes.WinDLL(path) if os.name == "nt" else ctypes.CDLL(path)
    except OSError as error:
        raise LibraryNotFoundError(_load_failure(path, error)) from None
    for name, (restype, argtypes) in SIGNATURES.items():
        function = getattr(library, name)
        function.restype = restype
        function.argtypes = argtypes
    return library


def pe_width(path):
    """32 or 64 for a Windows DLL of that width, None for any other file."""
    try:
        with open(path, "rb") as file:
            head = file.read(4096)
        offset = struct.unpack_from("<I", head, 0x3C)[0]
        if head[:2] != b"MZ" or head[offset:offset + 4] != b"PE\0\0":
            return None
        return _PE_WIDTHS.get(struct.unpack_from("<H", head, offset + 4)[0])
    except (OSError, struct.error):
        return None


def _load_failure(path, error):
    width = pe_width(path)
    own = struct.calcsize("P") * 8
    if width and width != own:
        return (f"{path} is a {width}-bit DLL and this Python is {own}-bit: "
                f"install the {own}-bit veltosound wheel, or set {LIBRARY_VARIABLE} "
                f"to the {own}-bit VeltoSound.dll")
    return (f"cannot load {path} ({error}): set {LIBRARY_VARIABLE} to the path of "
            f"{default_library_name()}, or install a veltosound wheel, which bundles it")
