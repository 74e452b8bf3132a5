#!/usr/bin/env python3
"""VeltoSound.dll through real COM, against the Linux build on the same system.

Sets up a private Wine prefix, registers the Core Audio test server there as
CLSID_MMDeviceEnumerator (HKLM, ThreadingModel Both), then for every
description under tests/systems and every script runs

  - the Linux veltomix over the simulated system (--json --trace), and
  - veltomix.exe under Wine, calling the DLL's exports through GetProcAddress
    (--library), over the test server, with the host thread's COM
    uninitialised, in a single-threaded and in the multithreaded apartment
    (the last with a new object for every object the server hands out, as
    Windows may),

and requires the same JSON lines, the same sequence of calls on the
simulated objects, no reference left and no problem in the server's report;
the server reports every call from a thread in no apartment as a problem.
The corpus of real drivers' topologies (tests/systems/corpus) runs once, as
one system in one Wine process, with fresh objects: veltomix.exe binds each
card through the DLL as its expectations table opens it, reads every control
and captures the whole system, and must print what the Linux veltomix prints.
A host in C that never initialises COM binds the sample and every corpus
card, uses every control from two threads, closes with restore and binds
again, with no reference left and no apartment problem.
Finally every interface method the backend uses must have been called
through COM at least once.
"""
import argparse
import fnmatch
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

CLSID = "{BCDE0395-E52F-467C-8E3D-C4579291692E}"
STATES = ["none", "sta", "mta"]
FRESH_STATE = "mta"
# Calls the DLL makes on ole32/oleaut32 rather than on the server: fault
# rules that could match them would fire on one side only.
COM_ONLY_OPS = ["CoInitialize", "PropVariantToBSTR", "PropVariantClear"]

# Every interface method the Core Audio backend calls for the library
# (src/platform/coreaudio/adapters.cpp). Its Identity() (QueryInterface for
# IUnknown) is left out: no export compares objects.
USED_METHODS = [
    f"{interface}::{method}"
    for interface, methods in {
        "IMMDeviceEnumerator": "EnumAudioEndpoints GetDefaultAudioEndpoint GetDevice",
        "IMMDeviceCollection": "GetCount Item",
        "IMMDevice": "Activate OpenPropertyStore GetId",
        "IPropertyStore": "GetValue",
        "IAudioEndpointVolume": "GetChannelCount SetMasterVolumeLevel SetChannelVolumeLevel "
        "GetMasterVolumeLevel GetChannelVolumeLevel SetMute GetMute GetVolumeRange",
        "IDeviceTopology": "GetConnectorCount GetConnector",
        "IConnector": "GetConnectedTo QueryInterface",
        "IPart": "GetName GetSubType EnumPartsIncoming EnumPartsOutgoing GetTopologyObject Activate",
        "IPartsList": "GetCount GetPart",
        "IAudioMute": "SetMute GetMute",
        "IAudioAutoGainControl": "GetEnabled SetEnabled",
        "IAudioLoudness": "GetEnabled SetEnabled",
        **dict.fromkeys(["IAudioVolumeLevel", "IAudioBass", "IAudioTreble", "IAudioMidrange"],
                        "GetChannelCount GetLevelRange GetLevel SetLevel"),
    }.items()
    for method in methods.split() + ["Release"]
]


def windows_path(path):
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def pe_is_64_bit(path):
    image = pathlib.Path(path).read_bytes()
    header = int.from_bytes(image[0x3C:0x40], "little")
    return int.from_bytes(image[header + 4 : header + 6], "little") == 0x8664


# Calls that hand out an object, answering S_FALSE (0x1) or S_OK (0x0) with no
# object (fault rules in systems/null_lookup.json and null_walks.json): the
# DLL must count each as failed, as the Linux build does, and not crash. The
# backend turns every such answer into a failure in one place, so these stand
# for the rest (GetConnector, GetConnectedTo and GetTopologyObject are left to
# the Linux failure sweep, which answers every call so).
NO_OBJECT_ANSWERS = dict.fromkeys(
    ["CreateDeviceEnumerator", "EnumAudioEndpoints", "GetDefaultAudioEndpoint", "GetDevice", "Item",
     "OpenPropertyStore", "Activate", "EnumPartsIncoming", "EnumPartsOutgoing", "GetPart"],
    ["0x00000000", "0x00000001"],
) | {"QueryPart": ["0x00000000"]}


def injected_successes(lines):
    """(operation, result) of every injected S_OK or S_FALSE in a server log."""
    found = set()
    for line in lines:
        match = TRACE_LINE.match(line)
        result = TRACE_RESULT.search(line)
        if match and result and "(injected)" in line and result.group(1) in ("0x00000000", "0x00000001"):
            found.add((match.group(2), result.group(1)))
    return found


# The tracer names the results it knows; the server prints every result in hex.
RESULT_NAMES = {
    "S_OK": 0x00000000, "S_FALSE": 0x00000001, "INPLACE_S_TRUNCATED": 0x000401A0,
    "E_NOTIMPL": 0x80004001,
    "E_NOINTERFACE": 0x80004002, "E_POINTER": 0x80004003, "E_ABORT": 0x80004004,
    "E_FAIL": 0x80004005, "E_UNEXPECTED": 0x8000FFFF, "DISP_E_TYPEMISMATCH": 0x80020005,
    "REGDB_E_CLASSNOTREG": 0x80040154, "CO_E_NOTINITIALIZED": 0x800401F0,
    "RPC_E_CHANGED_MODE": 0x80010106, "ERROR_INVALID_FUNCTION": 0x80070001,
    "ERROR_PATH_NOT_FOUND": 0x80070003,
    "E_ACCESSDENIED": 0x80070005, "E_OUTOFMEMORY": 0x8007000E, "E_INVALIDARG": 0x80070057,
    "E_NOTFOUND": 0x80070490, "AUDCLNT_E_DEVICE_INVALIDATED": 0x88890004,
}
# Object paths may hold spaces ("part:Control Card/Speaker Out").
TRACE_LINE = re.compile(r"^trace: (.+?) (\w+)\(")
# The result follows the argument list: ") -> RESULT" at the end of the line
# (the server) or before the outputs (the Linux tracer).
TRACE_RESULT = re.compile(r"\) -> (0x[0-9A-Fa-f]{8}|[A-Z][A-Z0-9_]*(?:\([A-Z0-9_]+\))?)(?: |$)")


def comparable_trace(lines):
    """The calls on simulated objects, in order, as method and result: what
    both sides share.

    The Linux side prints the tracer's lines (objects by interface and
    number, results by name, outputs after the result), the server the
    simulator's (objects by path, outputs inside the argument list, results
    in hex). The COM runtime's own calls happen in ole32 under Wine, and the
    two backends hold references differently (the COM one keeps one per
    wrapper), so those are left out; the server's report accounts for the
    references instead.
    """
    kept = []
    for line in lines:
        match = TRACE_LINE.match(line)
        if not match:
            continue
        obj, method = match.groups()
        if method in ("AddRef", "Release") or (obj == "com" and method != "CreateDeviceEnumerator"):
            continue
        found = TRACE_RESULT.search(line)
        result = found.group(1) if found else "(none)"
        if result in RESULT_NAMES:
            result = f"0x{RESULT_NAMES[result]:08X}"
        kept.append(f"{'com ' if obj == 'com' else ''}{method} -> {result}")
    return kept


def com_visible(description):
    """The description without the fault rules only one side could honour."""
    rules = description.get("faults", [])
    kept = [
        rule
        for rule in rules
        if not (
            fnmatch.fnmatchcase("com", rule.get("object", "*"))
            and any(fnmatch.fnmatchcase(op, rule.get("op", "*")) for op in COM_ONLY_OPS)
        )
    ]
    return dict(description, faults=kept), len(rules) - len(kept)


NOT_STARTED = "Application could not be started"


class Wine:
    def __init__(self, work):
        self.work = work
        self.env = dict(os.environ)
        for name in ["DISPLAY", "WAYLAND_DISPLAY"]:
            self.env.pop(name, None)
        self.env.update(
            HOME=str(work / "home"),
            WINEPREFIX=str(work / "prefix"),
            WINEDEBUG="-all",
            WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
        )

    def boot(self):
        (self.work / "home").mkdir(parents=True)
        subprocess.run(["wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
        # One server for every run: starting it each time costs seconds.
        subprocess.run(["wineserver", "-p"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def run(self, args, extra_env=None, timeout=120):
        """Runs a Windows program. Its output goes through files, not pipes:
        Wine's background processes inherit the pipes and would hold them
        open long after the program ended."""
        env = dict(self.env, **(extra_env or {}))
        for attempt in range(3):
            with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
                done = subprocess.run(["wine"] + args, env=env, stdout=out, stderr=err,
                                      timeout=timeout)
                out.seek(0)
                err.seek(0)
                result = subprocess.CompletedProcess(
                    done.args, done.returncode, out.read().decode(errors="replace"),
                    err.read().decode(errors="replace"),
                )
            # Now and then, on a loaded machine, Wine fails to start the
            # program at all; that says nothing about the program.
            if result.returncode == 0 or NOT_STARTED not in result.stdout + result.stderr:
                return result
            print(f"note wine could not start {args[0]} (attempt {attempt + 1}); again")
        return result

    def register(self, server_dll):
        """In the registry view of the server's width: a 64-bit prefix keeps
        32-bit classes apart, and `wine reg` alone writes the 32-bit view."""
        key = rf"HKLM\Software\Classes\CLSID\{CLSID}\InprocServer32"
        view = "/reg:64" if pe_is_64_bit(server_dll) else "/reg:32"
        for args in (["/ve", "/d", windows_path(server_dll)], ["/v", "ThreadingModel", "/d", "Both"]):
            result = self.run(["reg", "add", key] + args + ["/f", view])
            if result.returncode != 0:
                raise RuntimeError("reg add failed: " + result.stdout + result.stderr)


class Tally:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what, detail=""):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print(f"FAIL {what}" + (f"\n{detail}" if detail else ""), flush=True)
        return ok


def first_difference(expected, got):
    for index, (a, b) in enumerate(zip(expected, got)):
        if a != b:
            return f"  line {index + 1}:\n    linux: {a}\n    dll:   {b}"
    return f"  linux has {len(expected)} lines, dll {len(got)}"


def read_log(path):
    return path.read_text(errors="replace").splitlines() if path.exists() else []


def check_report(tally, name, report):
    """The server's report at process end: no reference left, no problem."""
    tally.check("end" in report, f"{name}: the server reported at process end")
    tally.check("refs 0" in report, f"{name}: no reference left",
                "\n".join(line for line in report if line.startswith(("refs", "live"))))
    problems = [line for line in report if line.startswith("problem")]
    tally.check(not problems, f"{name}: no problem in the server", "\n".join(problems[:20]))


def run_through_server(wine, system, log, options, fresh=False):
    """veltomix.exe over the test server with `system`, its report in `log`;
    `fresh`: a new object for every object the server hands out."""
    env = {"VELTO_COMSERVER_SYSTEM": windows_path(system), "VELTO_COMSERVER_LOG": windows_path(log)}
    if fresh:
        env["VELTOSOUND_FRESH_OBJECTS"] = "1"
    return wine.run(["veltomix.exe", "--json", "--library", "VeltoSound.dll"] + options, env)


def run_case(args, wine, tally, system, script, calls, injected):
    name = f"{system.stem} / {script.stem}"
    linux = subprocess.run(
        [args.linux_veltomix, "--json", "--trace", "--system", str(system), "--script", str(script)],
        capture_output=True, text=True, timeout=60,
    )
    if not tally.check(linux.returncode in (0, 1), f"{name}: linux veltomix ran", linux.stderr):
        return
    expected_lines = linux.stdout.splitlines()
    expected_trace = comparable_trace(linux.stderr.splitlines())
    # A success code with no object means the same in every apartment: one
    # state is enough for the descriptions that answer so, and keeps the run short.
    for state in STATES[1:2] if system.stem.startswith("null_") else STATES:
        log = args.work / "logs" / f"{system.stem}.{script.stem}.{state}.log"
        log.unlink(missing_ok=True)
        # Objects handed out afresh are told apart as Windows tells them; one
        # apartment state is enough for that.
        fresh = state == FRESH_STATE
        dll = run_through_server(wine, system, log,
                                 ["--host-com", state, "--script", windows_path(script)], fresh)
        case = f"{name} [{state}{', fresh objects' if fresh else ''}]"
        got_lines = dll.stdout.replace("\r", "").splitlines()
        report = read_log(log)
        tally.check(dll.returncode in (0, 1), f"{case}: veltomix.exe ran", dll.stderr[-2000:])
        tally.check(got_lines == expected_lines, f"{case}: same JSON lines",
                    first_difference(expected_lines, got_lines))
        injected |= injected_successes(report)
        got_trace = comparable_trace(report)
        tally.check(got_trace == expected_trace, f"{case}: same calls on the simulated objects",
                    first_difference(expected_trace, got_trace))
        check_report(tally, case, report)
        count_calls(report, calls)


CORPUS_GETTERS = ["GetDeviceNames", "GetMasterVolume", "GetMasterMute", "GetLinePlayBack",
                  "GetLinePlayBackMute", "GetMicPlayBack", "GetMicPlayBackMute",
                  "GetMicRecordVolume", "GetLineRecordVolume", "GetMicBoost", "GetNoMonitor",
                  "GetBass", "GetTreble", "GetMidRange", "GetMicSliderBoost"]


def corpus_system(cards):
    """Every card in one system (their ids and adapter names are distinct);
    no endpoint is a default, as each card may name its own."""
    endpoints, adapters = [], []
    for card in cards:
        description = json.loads(card.read_text())
        endpoints += [dict(endpoint, default=False) for endpoint in description["endpoints"]]
        adapters += description["adapters"]
    return {"endpoints": endpoints, "adapters": adapters}


def corpus_openings(expectations):
    """The search texts of each binding in the expectations table, "-" for none."""
    openings = []
    for row in expectations.read_text().splitlines():
        fields = [field.strip() for field in row.split("|")]
        if not row.startswith("#") and len(fields) == 4 and fields[1] == "open":
            openings.append(fields[2].split())
    return openings


def corpus_script(expectations):
    """Each binding of the expectations table, every control read, closed."""
    lines = []
    for texts in corpus_openings(expectations):
        quoted = ['""' if text == "-" else f'"{text}"' for text in texts]
        lines += ["OpenSoundCard " + " ".join(quoted)] + CORPUS_GETTERS + ["CloseSoundCard 0"]
    return "\n".join(lines) + "\n"


SAMPLE_OPENING = ["4f6a2c1e", "6b8e3f2a", "d1f5a9c3"]


def run_no_com_host(args, wine, tally, corpus):
    """A host that never initialises COM, on the sample and on the corpus:
    every control from two threads, a close with restore, a second binding;
    the server must see no call from outside an apartment."""
    runs = [("sample", None, [SAMPLE_OPENING])]
    if corpus:
        system, expectations = corpus
        runs.append(("corpus", system, corpus_openings(expectations)))
    for name, system, openings in runs:
        log = args.work / "logs" / f"no-com.{name}.log"
        env = {"VELTO_COMSERVER_LOG": windows_path(log), "VELTO_COMSERVER_TRACE": "0"}
        if system:
            env["VELTO_COMSERVER_SYSTEM"] = windows_path(system)
        host = wine.run([args.no_com_host.name] + [text for texts in openings for text in texts],
                        env)
        tally.check(host.returncode == 0, f"no-COM host on the {name}: both threads and both "
                    "bindings answered alike", host.stdout[-3000:] + host.stderr[-2000:])
        check_report(tally, f"no-COM host on the {name}", read_log(log))


def run_corpus(args, wine, tally, systems, cards, calls):
    system = systems / "corpus.json"
    system.write_text(json.dumps(corpus_system(cards), indent=2))
    script = systems / "corpus.vmx"
    script.write_text(corpus_script(cards[0].parent / "expectations.txt"))
    linux = subprocess.run(
        [args.linux_veltomix, "--json", "--system", str(system), "--script", str(script), "capture"],
        capture_output=True, text=True, timeout=60,
    )
    if not tally.check(linux.returncode == 0, "corpus: linux veltomix ran", linux.stderr):
        return None
    log = args.work / "logs" / "corpus.log"
    dll = run_through_server(wine, system, log, ["--script", windows_path(script), "capture"],
                             fresh=True)
    expected, got = linux.stdout.splitlines(), dll.stdout.replace("\r", "").splitlines()
    tally.check(dll.returncode == 0, "corpus: veltomix.exe ran", dll.stderr[-2000:])
    tally.check(got == expected,
                f"corpus: {len(cards)} cards bound through the DLL and captured as on Linux",
                first_difference(expected, got))
    report = read_log(log)
    check_report(tally, "corpus", report)
    count_calls(report, calls)
    return system, cards[0].parent / "expectations.txt"


def count_calls(report, calls):
    for line in report:
        if line.startswith("calls "):
            _, method, count = line.split(" ")
            calls[method] = calls.get(method, 0) + int(count)


def scripted_exports(scripts):
    names = set()
    for script in scripts:
        for line in script.read_text().splitlines():
            words = line.split("#", 1)[0].split()
            if words:
                names.add(words[0])
    return names


def main():
    parser = argparse.ArgumentParser()
    for option in ["linux-veltomix", "veltomix-exe", "dll", "server", "ids-test", "bench",
                   "no-com-host", "scripts", "exports", "work"]:
        parser.add_argument("--" + option, required=True, type=pathlib.Path)
    parser.add_argument("--systems", required=True, type=pathlib.Path, nargs="+")
    args = parser.parse_args()
    for tool in ["wine", "wineboot", "wineserver"]:
        if not shutil.which(tool):
            print(f"FAIL {tool} is not installed (tests/ci/install-wine-deps.sh)")
            return 1
    if not args.linux_veltomix.exists():
        print(f"FAIL {args.linux_veltomix} is missing: build the default preset first")
        return 1

    shutil.rmtree(args.work, ignore_errors=True)
    (args.work / "logs").mkdir(parents=True)
    bin_dir = args.work / "bin"
    bin_dir.mkdir()
    for file in [args.veltomix_exe, args.dll, args.ids_test, args.bench, args.no_com_host]:
        shutil.copy(file, bin_dir)
    tally = Tally()
    scripts = sorted(args.scripts.glob("*.vmx"))
    exports = {
        line.split()[0]
        for line in args.exports.read_text().splitlines()
        if line.strip() and not line.startswith("#")
    }
    missing = sorted(exports - scripted_exports(scripts))
    tally.check(not missing, "the scripts call every export", " ".join(missing))

    wine = Wine(args.work)
    os.chdir(bin_dir)
    try:
        wine.boot()
        wine.register(args.server)
        ids = wine.run([args.ids_test.name])
        tally.check(ids.returncode == 0, "the id table holds the SDK's values", ids.stdout)
        systems = args.work / "systems"
        systems.mkdir()
        calls = {}
        injected = set()
        sources = sorted(path for directory in args.systems for path in directory.rglob("*.json"))
        cards = [source for source in sources if source.parent.name == "corpus"]
        corpus = run_corpus(args, wine, tally, systems, cards, calls) if cards else None
        run_no_com_host(args, wine, tally, corpus)
        for source in sources:
            if source in cards:
                continue
            description, dropped = com_visible(json.loads(source.read_text()))
            if dropped:
                print(f"note {source.name}: {dropped} fault rule(s) on ole32 calls left out")
            system = systems / source.name
            system.write_text(json.dumps(description, indent=2))
            for script in scripts:
                run_case(args, wine, tally, system, script, calls, injected)
        bench_system = {"VELTO_COMSERVER_SYSTEM": windows_path(systems / "control_card.json")}
        log = args.work / "logs" / "bench.log"
        check = wine.run([args.bench.name, "VeltoSound.dll", "--check"],
                         dict(bench_system, VELTO_COMSERVER_LOG=windows_path(log)))
        print(check.stdout, end="")
        tally.check(check.returncode == 0, "every benchmark floor makes its export's COM calls",
                    check.stderr[-2000:])
        timing = wine.run([args.bench.name, "VeltoSound.dll", "--quick"], bench_system)
        print(timing.stdout, end="")
        tally.check(timing.returncode == 0, "the benchmark ran", timing.stderr[-2000:])
    finally:
        wine.stop()

    unanswered = [f"{op} {result}" for op, results in NO_OBJECT_ANSWERS.items()
                  for result in results if (op, result) not in injected]
    tally.check(not unanswered, "every call that hands out an object answered a success code "
                "with no object", " ".join(unanswered))
    never = [method for method in USED_METHODS if not calls.get(method)]
    print(f"{len(USED_METHODS) - len(never)} of the {len(USED_METHODS)} interface methods the "
          "backend uses were called through COM")
    tally.check(not never, "every method the backend uses was called", " ".join(never))
    unexpected = sorted(set(calls) - set(USED_METHODS) - {m.replace("::Release", "::AddRef")
                                                           for m in USED_METHODS})
    if unexpected:
        print("also called: " + " ".join(unexpected))
    print(f"{tally.passed} checks passed, {tally.failed} failed")
    return 1 if tally.failed else 0


if __name__ == "__main__":
    sys.exit(main())
