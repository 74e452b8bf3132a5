"""VeltoSound from Python: the sound-card mixer library through ctypes.

    import veltosound

    mixer = veltosound.Mixer()          # loads VeltoSound.dll / libveltosound.so
    for endpoint in mixer.playback_endpoints():
        print(endpoint.name_text, endpoint.id_text)
    with mixer.open_defaults() as binding:   # closes and restores on exit
        print(mixer.master_volume())

Texts cross the library as bytes: endpoint names and ids come back as bytes,
and search texts must be bytes (or an Endpoint, whose id is used). On Windows
the bytes are ANSI text (the system code page); names are Latin-1.

Control getters and setters turn the library's status into what a Python
program expects: the value (getters) or True (setters) on success, None when
the bound device has no such control (or, for the virtual endpoint, none is
bound), PlatformError when the platform call failed and NotBoundError when no
device is bound.
"""

import enum
import os
from ctypes import byref, c_double, c_int, create_string_buffer
from dataclasses import dataclass
from typing import NamedTuple, Optional, Union

from . import _exports
from ._exports import LIBRARY_VARIABLE, SIGNATURES, LibraryNotFoundError

__all__ = [
    "Binding", "DeviceNames", "Endpoint", "Flow", "LIBRARY_VARIABLE", "LibraryNotFoundError",
    "Mixer", "NotBoundError", "PlatformError", "Range", "Role", "SIGNATURES", "VeltoSoundError",
]
__version__ = "1.0.0"

# Host buffers for names and ids: the library writes at most 255 bytes.
_BUFFER_SIZE = 256
_ANSI = "mbcs" if os.name == "nt" else "cp1252"


class VeltoSoundError(Exception):
    """A call did not do what was asked."""

    def __init__(self, export, message):
        super().__init__(f"{export}: {message}")
        self.export = export


class PlatformError(VeltoSoundError):
    """The platform (Core Audio, or the simulation) refused or failed the call."""


class NotBoundError(VeltoSoundError):
    """A control was used while no device is bound."""


class Flow(enum.Enum):
    PLAYBACK = "playback"
    RECORDING = "recording"


class Role(enum.Enum):
    """The three devices OpenSoundCard binds."""
    PLAYBACK = "playback"
    MICROPHONE = "microphone"
    LINE = "line"


@dataclass(frozen=True)
class Endpoint:
    flow: Flow
    index: int
    name: bytes
    id: bytes

    @property
    def name_text(self):
        # Names are narrowed by keeping the low byte of each UTF-16 unit.
        return self.name.decode("latin-1")

    @property
    def id_text(self):
        return self.id.decode(_ANSI)


class DeviceNames(NamedTuple):
    """The bound devices' names; None for a device never bound."""
    playback: Optional[bytes]
    line: Optional[bytes]
    microphone: Optional[bytes]


class Range(NamedTuple):
    min: float
    max: float
    step: float


# OpenSoundCard's result is the exclusive-or of one code per failed device.
_FAILURE_CODES = {Role.PLAYBACK: 1, Role.MICROPHONE: 3, Role.LINE: 6}


def _failed_roles(code):
    for mask in range(8):
        roles = frozenset(role for bit, role in enumerate(Role) if mask >> bit & 1)
        combined = 0
        for role in roles:
            combined ^= _FAILURE_CODES[role]
        if combined == code:
            return roles
    raise VeltoSoundError("OpenSoundCard", f"unexpected result {code}")


SearchText = Union[bytes, Endpoint, None]


def _search_bytes(text: SearchText, export):
    if text is None:
        return b""
    if isinstance(text, Endpoint):
        return text.id
    if isinstance(text, (bytes, bytearray)):
        return bytes(text)
    raise TypeError(
        f"{export}: a search text is bytes (an endpoint id as listed) or an Endpoint, "
        f"not {type(text).__name__}; encode text with the ANSI code page")


def _outcome(export, status, value):
    if status == 0:
        return value
    if status == 1:
        return None
    if status == 2:
        raise PlatformError(export, "the platform call failed")
    if status == 3:
        raise NotBoundError(export, "no device is bound")
    raise VeltoSoundError(export, f"unexpected status {status}")


class Binding:
    """What an open bound; a context manager that closes it on exit."""

    def __init__(self, mixer, failed, restore):
        self._mixer = mixer
        self.failed = failed  # frozenset of Role: the devices that did not bind
        self.restore = restore

    def close(self, restore=None):
        self._mixer.close(self.restore if restore is None else restore)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False


class Mixer:
    """The library, loaded once per process: its state is process-wide."""

    def __init__(self, library=None):
        """library: a path, a library already loaded with load(), or None."""
        if library is None or isinstance(library, (str, os.PathLike)):
            library = _exports.load(library)
        self.library = library

    # --- Endpoints ---------------------------------------------------------------

    def playback_endpoints(self):
        return self._endpoints(Flow.PLAYBACK, "GetNumberPlayDevices", "GetPlayBackDevice")

    def recording_endpoints(self):
        return self._endpoints(Flow.RECORDING, "GetNumberRecordDevices", "GetRecordDevice")

    def _endpoints(self, flow, count_export, item_export):
        count = c_int()
        if getattr(self.library, count_export)(byref(count)) != 0:
            raise PlatformError(count_export, "the endpoints cannot be listed")
        endpoints = []
        for index in range(count.value):
            name = create_string_buffer(_BUFFER_SIZE)
            endpoint_id = create_string_buffer(_BUFFER_SIZE)
            result = getattr(self.library, item_export)(index, name, endpoint_id)
            if result != 0:
                # Past the end GetRecordDevice answers the count: the list
                # shrank since it was counted; anything else is a failure.
                raise PlatformError(item_export, f"endpoint {index}: result {result}")
            endpoints.append(Endpoint(flow, index, name.value, endpoint_id.value))
        return endpoints

    def device_names(self):
        # A buffer the library leaves alone keeps its filler and has no NUL.
        buffers = [create_string_buffer(b"\xff" * _BUFFER_SIZE, _BUFFER_SIZE) for _ in range(3)]
        self.library.GetDeviceNames(*buffers)  # playback, line, microphone
        names = [b.value if b"\0" in b.raw else None for b in buffers]
        return DeviceNames(*names)

    # --- Binding -----------------------------------------------------------------

    def open(self, playback: SearchText = None, microphone: SearchText = None,
             line: SearchText = None, restore=True):
        """Binds the devices whose ids contain the texts (None skips one).

        Returns a Binding; its `failed` names the devices that did not bind,
        and leaving it as a context manager closes, with restore unless asked
        otherwise.
        """
        texts = [_search_bytes(t, "OpenSoundCard") for t in (playback, microphone, line)]
        failed = _failed_roles(self.library.OpenSoundCard(*texts))
        return Binding(self, failed, restore)

    def open_defaults(self, restore=True):
        """Binds the system's default playback and recording endpoints.

        The library tells only whether the default recording endpoint was
        found; Binding.failed is empty, and device_names() shows what bound.
        """
        if self.library.OpenDefaultDevices() != 0:
            raise PlatformError("OpenDefaultDevices", "no default recording endpoint")
        return Binding(self, frozenset(), restore)

    def close(self, restore=False):
        """Releases every bound control, first putting each back as found if asked."""
        self.library.CloseSoundCard(1 if restore else 0)

    def open_virtual(self, search: SearchText):
        """Binds the virtual endpoint's volume and mute; True when fully bound."""
        return self.library.OpenVirtual_1(_search_bytes(search, "OpenVirtual_1")) == 0

    def close_virtual(self):
        self.library.CloseVirtual_1()

    # --- Calls -------------------------------------------------------------------

    def _get_int(self, export):
        status = c_int()
        value = getattr(self.library, export)(byref(status))
        return _outcome(export, status.value, value)

    def _get_bool(self, export):
        value = self._get_int(export)
        return None if value is None else value != 0

    def _set(self, export, value):
        status = c_int()
        getattr(self.library, export)(value, byref(status))
        return _outcome(export, status.value, True)

    def _get_level(self, export):
        # The result of GetMidRange is 1 even on success: only the status counts.
        level, status = c_double(), c_int()
        getattr(self.library, export)(byref(level), byref(status))
        return _outcome(export, status.value, level.value)

    # --- Volumes, in percent -----------------------------------------------------

    def master_volume(self):
        return self._get_int("GetMasterVolume")

    def set_master_volume(self, percent: int):
        return self._set("SetMasterVolume", percent)

    def line_monitor_volume(self):
        return self._get_int("GetLinePlayBack")

    def set_line_monitor_volume(self, percent: int):
        return self._set("SetLinePlayBack", percent)

    def mic_monitor_volume(self):
        return self._get_int("GetMicPlayBack")

    def set_mic_monitor_volume(self, percent: int):
        return self._set("SetMicPlayBack", percent)

    def line_record_volume(self):
        return self._get_int("GetLineRecordVolume")

    def set_line_record_volume(self, percent: int):
        return self._set("SetLineRecordVolume", percent)

    def mic_record_volume(self):
        return self._get_int("GetMicRecordVolume")

    def set_mic_record_volume(self, percent: int):
        return self._set("SetMicRecordVolume", percent)

    def virtual_volume(self):
        return self._get_int("GetVirtualVolume")

    def set_virtual_volume(self, percent: int):
        return self._set("SetVirtualVolume", percent)

    # --- Mutes and switches ------------------------------------------------------
    # SetMasterMute and SetVirtualMute report a refused write as a missing
    # control: None from them means "missing or refused".

    def master_mute(self):
        return self._get_bool("GetMasterMute")

    def set_master_mute(self, muted: bool):
        return self._set("SetMasterMute", 1 if muted else 0)

    def line_monitor_mute(self):
        return self._get_bool("GetLinePlayBackMute")

    def set_line_monitor_mute(self, muted: bool):
        return self._set("SetLinePlayBackMute", 1 if muted else 0)

    def mic_monitor_mute(self):
        return self._get_bool("GetMicPlayBackMute")

    def set_mic_monitor_mute(self, muted: bool):
        return self._set("SetMicPlayBackMute", 1 if muted else 0)

    def virtual_mute(self):
        return self._get_bool("GetVirtualMute")

    def set_virtual_mute(self, muted: bool):
        return self._set("SetVirtualMute", 1 if muted else 0)

    def mic_boost(self):
        return self._get_bool("GetMicBoost")

    def set_mic_boost(self, on: bool):
        return self._set("SetMicBoost", 1 if on else 0)

    def line_agc(self):
        """The line input's automatic gain control (the NoMonitor exports)."""
        return self._get_bool("GetNoMonitor")

    def set_line_agc(self, on: bool):
        return self._set("SetNoMonitor", 1 if on else 0)

    # --- Tone controls, in decibels ----------------------------------------------

    def bass(self):
        return self._get_level("GetBass")

    def set_bass(self, db: float):
        return self._set("SetBass", db)

    def treble(self):
        return self._get_level("GetTreble")

    def set_treble(self, db: float):
        return self._set("SetTreble", db)

    def midrange(self):
        return self._get_level("GetMidRange")

    def set_midrange(self, db: float):
        return self._set("SetMidRange", db)

    def eq_range(self):
        """The range of the bass control (else midrange, else treble)."""
        low, high, step = c_double(), c_double(), c_double()
        status = self.library.GetEQRange(byref(low), byref(high), byref(step))
        return _outcome("GetEQRange", status, Range(low.value, high.value, step.value))

    # --- Microphone boost level, in whole decibels --------------------------------

    def mic_boost_level(self):
        return self._get_int("GetMicSliderBoost")

    def set_mic_boost_level(self, db: int):
        return self._set("SetMicSliderBoost", db)

    def mic_boost_level_range(self):
        status, low, high, step = c_int(), c_int(), c_int(), c_int()
        self.library.GetMicSliderDetails(byref(status), byref(low), byref(high), byref(step))
        return _outcome("GetMicSliderDetails", status.value,
                        Range(low.value, high.value, step.value))
