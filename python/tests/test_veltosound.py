"""The Python module over libveltosound.so on tests/card.json.

The card (the example of docs/sound-system-format.md with one fault) has
every control: speakers with monitor paths and tone controls, a line input
with AGC, a microphone with a boost switch, a headset microphone with a boost
level, and treble writes that fail.
"""

import pathlib
import re
import subprocess
import sys

import pytest

import veltosound
from conftest import CARD, PACKAGE_ROOT, REPOSITORY, run_python
from veltosound import Flow, NotBoundError, PlatformError, Range, Role

SPEAKERS = b"{0.0.0.00000000}.{00000000-0000-0000-0000-000000000001}"
LINE_IN = b"{0.0.1.00000000}.{00000000-0000-0000-0000-000000000002}"
MICROPHONE = b"{0.0.1.00000000}.{00000000-0000-0000-0000-000000000003}"
EARPHONE = b"{0.0.0.00000000}.{00000000-0000-0000-0000-000000000004}"
HEADSET_MIC = b"{0.0.1.00000000}.{00000000-0000-0000-0000-000000000005}"
NO_SUCH_ENDPOINT = b"no such endpoint"


def header_parameter_counts():
    header = (REPOSITORY / "include" / "veltosound.h").read_text()
    counts = {}
    for name, parameters in re.findall(r"VELTO_CALL (\w+)\(([^)]*)\)", header):
        counts[name] = 0 if parameters.strip() == "void" else parameters.count(",") + 1
    return counts


def test_every_export_is_declared_with_the_headers_parameters():
    definitions = (REPOSITORY / "exports" / "VeltoSound.def").read_text()
    exported = set(re.findall(r"^\s+(\w+)\s+@\d+", definitions, re.MULTILINE))
    assert len(exported) == 44
    assert set(veltosound.SIGNATURES) == exported
    counts = header_parameter_counts()
    for name, (_, argtypes) in veltosound.SIGNATURES.items():
        assert len(argtypes) == counts[name], name


def test_endpoints_come_as_objects_with_bytes(card):
    playback = card.playback_endpoints()
    recording = card.recording_endpoints()
    assert [(e.flow, e.index, e.id) for e in playback] == [
        (Flow.PLAYBACK, 0, SPEAKERS), (Flow.PLAYBACK, 1, EARPHONE)]
    assert [e.id for e in recording] == [LINE_IN, MICROPHONE, HEADSET_MIC]
    assert playback[0].name == b"Speakers (Example Card)"
    assert playback[0].name_text == "Speakers (Example Card)"
    assert playback[0].id_text == SPEAKERS.decode()


def test_a_str_search_text_is_refused_before_anything_is_bound(card):
    with pytest.raises(TypeError, match="bytes"):
        card.open(playback=SPEAKERS.decode())
    with pytest.raises(TypeError):
        card.open_virtual("0001")
    with pytest.raises(NotBoundError):
        card.master_volume()


@pytest.mark.parametrize("playback", [SPEAKERS, NO_SUCH_ENDPOINT])
@pytest.mark.parametrize("microphone", [MICROPHONE, NO_SUCH_ENDPOINT])
@pytest.mark.parametrize("line", [LINE_IN, NO_SUCH_ENDPOINT])
def test_open_names_the_devices_that_did_not_bind(card, playback, microphone, line):
    expected = {role for role, text in
                [(Role.PLAYBACK, playback), (Role.MICROPHONE, microphone), (Role.LINE, line)]
                if text == NO_SUCH_ENDPOINT}
    with card.open(playback, microphone, line) as binding:
        assert binding.failed == expected


def test_an_endpoint_object_binds_by_its_id(card):
    speakers = card.playback_endpoints()[0]
    with card.open(playback=speakers) as binding:
        assert binding.failed == frozenset()
        assert card.device_names().playback == b"Speakers (Example Card)"


# (getter, setter, a value other than the card's) for every control the
# first binding finds.
CONTROLS = [
    ("master_volume", "set_master_volume", 50),
    ("line_monitor_volume", "set_line_monitor_volume", 50),
    ("mic_monitor_volume", "set_mic_monitor_volume", 50),
    ("line_record_volume", "set_line_record_volume", 50),
    ("mic_record_volume", "set_mic_record_volume", 50),
    ("master_mute", "set_master_mute", True),
    ("line_monitor_mute", "set_line_monitor_mute", True),
    ("mic_monitor_mute", "set_mic_monitor_mute", False),
    ("mic_boost", "set_mic_boost", True),
    ("line_agc", "set_line_agc", False),
    ("bass", "set_bass", -4.5),
    ("midrange", "set_midrange", 2.5),
]


@pytest.mark.parametrize("getter, setter, value", CONTROLS, ids=[c[0] for c in CONTROLS])
def test_a_control_is_set_read_back_and_restored_on_close(card, getter, setter, value):
    with card.open(SPEAKERS, MICROPHONE, LINE_IN) as binding:
        assert binding.failed == frozenset()
        original = getattr(card, getter)()
        assert original is not None and original != value
        assert getattr(card, setter)(value) is True
        assert getattr(card, getter)() == value
    with card.open(SPEAKERS, MICROPHONE, LINE_IN, restore=False):
        assert getattr(card, getter)() == original


def test_tone_levels_cross_as_doubles(card):
    with card.open(playback=SPEAKERS):
        assert card.eq_range() == Range(-12.0, 12.0, 1.5)
        assert card.set_bass(1.25) is True
        assert card.bass() == 1.25
        assert card.treble() == -1.5


@pytest.mark.parametrize("call", [
    lambda m: m.mic_record_volume(), lambda m: m.mic_boost(), lambda m: m.set_mic_boost(True),
    lambda m: m.line_agc(), lambda m: m.mic_boost_level(), lambda m: m.mic_boost_level_range(),
    lambda m: m.virtual_volume(), lambda m: m.set_virtual_mute(True),
])
def test_a_control_the_binding_did_not_find_is_none(card, call):
    with card.open(playback=SPEAKERS):
        assert call(card) is None


def test_a_failed_platform_call_raises(card):
    with card.open(playback=SPEAKERS):
        with pytest.raises(PlatformError, match="SetTreble"):
            card.set_treble(3.0)
        assert card.treble() == -1.5


def test_controls_without_a_bound_device_raise(card):
    with pytest.raises(NotBoundError, match="GetMasterVolume"):
        card.master_volume()
    with pytest.raises(NotBoundError, match="GetEQRange"):
        card.eq_range()


def test_device_names_come_back_by_role_not_in_the_librarys_order(card):
    with card.open(SPEAKERS, HEADSET_MIC, LINE_IN):
        names = card.device_names()
    assert names.playback == b"Speakers (Example Card)"
    assert names.line == b"Line In (Example Card)"
    assert names.microphone == b"Headset Microphone (USB Headset)"


def test_boost_level_in_whole_decibels(card):
    with card.open(microphone=HEADSET_MIC):
        assert card.mic_boost() is None
        assert card.mic_boost_level() == 10
        assert card.mic_boost_level_range() == Range(0, 30, 10)
        assert card.set_mic_boost_level(20) is True
        assert card.mic_boost_level() == 20


def test_the_virtual_endpoint_lives_outside_the_binding(card):
    earphone = card.playback_endpoints()[1]
    assert card.open_virtual(earphone) is True
    assert card.set_virtual_volume(50) is True
    assert card.virtual_volume() == 50
    card.close_virtual()
    assert card.virtual_volume() is None


def test_defaults_bind_the_default_devices(card):
    with card.open_defaults():
        names = card.device_names()
        assert names.playback == b"Speakers (Example Card)"
        assert names.line == b"Line In (Example Card)"
        assert card.line_agc() is True


@pytest.mark.parametrize("content, message", [
    (None, "cannot be read"),
    ('{"endpoints": [', "parse error"),
    ('{"endpoints": [{"flow": "render"}]}', "/endpoints/0"),
], ids=["missing", "not json", "invalid"])
def test_a_bad_description_is_reported_and_gives_no_devices(tmp_path, content, message):
    system = tmp_path / "card.json"
    if content is not None:
        system.write_text(content)
    result = run_python(
        "import veltosound\n"
        "m = veltosound.Mixer()\n"
        "print(len(m.playback_endpoints()), len(m.recording_endpoints()))\n"
        "try:\n"
        "    m.open_defaults()\n"
        "except veltosound.PlatformError as e:\n"
        "    print('refused', e.export)\n", system)
    assert result.returncode == 0, result.stderr
    assert result.stdout == "0 0\nrefused OpenDefaultDevices\n"
    assert "veltosound: VELTOSOUND_SYSTEM: " + str(system) in result.stderr
    assert message in result.stderr


def test_the_description_named_by_the_environment_is_used():
    result = run_python(
        "import veltosound\n"
        "print([e.name_text for e in veltosound.Mixer().playback_endpoints()])\n",
        REPOSITORY / "tests" / "systems" / "controls" / "control_card.json")
    assert result.returncode == 0, result.stderr
    assert result.stdout == "['Speakers (Control Card)', 'Headphones (Control Card)']\n"
    assert result.stderr == ""


@pytest.mark.parametrize("library, message", [
    (None, "set VELTOSOUND_LIBRARY to the path of"),
    (b"MZ" + bytes(58) + b"\x40\0\0\0PE\0\0\x4c\x01", "is a 32-bit DLL and this Python is 64-bit"),
], ids=["missing", "other width"])
def test_a_library_that_does_not_load_says_what_to_set(tmp_path, library, message):
    path = tmp_path / "VeltoSound.dll"
    if library:
        path.write_bytes(library)
    result = run_python(f"import veltosound\nveltosound.Mixer({str(path)!r})\n", CARD)
    assert "LibraryNotFoundError: " in result.stderr
    assert message in result.stderr


def test_pip_installs_the_package_offline(tmp_path):
    # With build isolation, as a user types it: the package needs nothing
    # from an index to build, and writes nothing into its source tree.
    before = sorted(PACKAGE_ROOT.rglob("*"))
    target = tmp_path / "site"
    subprocess.run([sys.executable, "-m", "pip", "install", "--quiet", "--no-index", "--no-deps",
                    "--no-cache-dir", "--target", str(target), str(PACKAGE_ROOT)],
                   check=True, timeout=300, cwd=tmp_path)
    assert sorted(PACKAGE_ROOT.rglob("*")) == before
    installed = pathlib.Path(target, "veltosound")
    assert sorted(p.name for p in installed.glob("*.py")) == ["__init__.py", "_exports.py"]
    version = subprocess.run([sys.executable, "-c", "import veltosound; print(veltosound.__version__)"],
                             env={"PYTHONPATH": str(target)}, capture_output=True, text=True,
                             check=True, cwd=tmp_path)
    # One version for the library, veltomix and this package: the CMake project's.
    project = re.search(r"project\(VeltoSound VERSION (\S+)",
                        (REPOSITORY / "CMakeLists.txt").read_text()).group(1)
    assert version.stdout.strip() == veltosound.__version__ == project
    assert [p.name for p in target.glob("*.dist-info")] == [f"veltosound-{project}.dist-info"]
