#!/usr/bin/env python3
"""VeltoMixer.exe as a person uses it, under Wine on a virtual display.

For each card (the sample, with one failing control, and two corpus cards)
the window starts over the Core Audio test server, and mixer_driver.exe
picks endpoints, binds, moves every slider and ticks every box the binding
found, changes the master level behind the window's back and closes the
window, with or without restore. The driver makes the same export calls in
its own process over its own copy of the card, so the changes the platform
saw must be the same in both servers' logs, call for call; neither may keep
a reference. scripts/veltomixer-screenshot.py photographs the window with
the same session.
"""
import argparse
import importlib.util
import os
import pathlib
import re
import shutil
import time
import subprocess
import sys

HERE = pathlib.Path(__file__).resolve().parent
spec = importlib.util.spec_from_file_location(
    "comserver_tests", HERE.parent / "comserver" / "run-comserver-tests.py")
comserver = importlib.util.module_from_spec(spec)
spec.loader.exec_module(comserver)

# card, fault rules, picks (playback, mic, line, virtual: list indices, -1
# none), restore on exit
CARDS = [
    ("sample", [{"object": "part:Velto HD Audio/*bass*", "op": "SetLevel", "result": "E_FAIL"}],
     ["0", "0", "1", "1"], "1"),
    ("ac97", [], ["0", "0", "1", "-1"], "0"),
    ("sb16", [], ["0", "0", "1", "0"], "1"),
]
SET_CALL = re.compile(r"^trace: (.+?) (Set\w+)\(")


def changes_seen(log):
    return [line for line in comserver.read_log(log) if SET_CALL.match(line)]


def start_display():
    """Xvfb on the first free display number, which it writes to a pipe."""
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x800x24",
                               "-nolisten", "tcp"], pass_fds=[write],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as pipe:
        number = pipe.readline().strip()
    if not number:
        server.kill()
        raise RuntimeError("Xvfb did not start")
    return server, ":" + number


def run_card(args, wine, tally, name, faults, picks, restore, shot=None):
    source = HERE.parent.parent / "src/platform/sim/sample_system.json" if name == "sample" \
        else HERE.parent / "systems/corpus" / f"{name}.json"
    description = comserver.json.loads(source.read_text())
    description["faults"] = description.get("faults", []) + faults
    work = args.work / name
    work.mkdir()
    system = work / "system.json"
    system.write_text(comserver.json.dumps(description))
    logs = {who: work / f"{who}.log" for who in ("window", "driver")}
    env = {who: dict(wine.env, VELTO_COMSERVER_SYSTEM=comserver.windows_path(system),
                     VELTO_COMSERVER_LOG=comserver.windows_path(logs[who]),
                     VELTO_COMSERVER_CHANGES=comserver.windows_path(work / f"{who}.changes"))
           for who in logs}
    with open(work / "window.out", "wb") as out:
        window = subprocess.Popen(["wine", "VeltoMixer.exe"], env=env["window"], stdout=out,
                                  stderr=subprocess.STDOUT)
        options = [comserver.windows_path(work / "window.changes"), restore] + picks
        driver = wine.run(["mixer_driver.exe"] + options + ([comserver.windows_path(shot)]
                                                          if shot else []), env["driver"], 60)
        try:
            window.wait(timeout=30)
        except subprocess.TimeoutExpired:
            window.kill()
    print(driver.stdout, end="")
    tally.check(driver.returncode == 0, f"{name}: the window shows what the exports report",
                driver.stderr[-2000:])
    seen, expected = changes_seen(logs["window"]), changes_seen(logs["driver"])
    tally.check(shot or seen, f"{name}: the window changed something")
    tally.check(seen == expected, f"{name}: the platform saw exactly the driver's changes",
                comserver.first_difference(expected, seen))
    for who, log in logs.items():
        comserver.check_report(tally, f"{name} ({who})", comserver.read_log(log))


def main(shot=None):
    """Every card; with `shot` (a BMP's path), the sample card photographed."""
    parser = argparse.ArgumentParser()
    for option in ["mixer", "driver", "dll", "server", "work"]:
        parser.add_argument("--" + option, required=True, type=pathlib.Path)
    args = parser.parse_args()
    for option in ["mixer", "driver", "dll", "server", "work"]:
        setattr(args, option, getattr(args, option).resolve())
    for tool in ["wine", "wineboot", "wineserver", "Xvfb"]:
        if not shutil.which(tool):
            print(f"FAIL {tool} is not installed (tests/ci/install-wine-deps.sh)")
            return 1
    shutil.rmtree(args.work, ignore_errors=True)
    bin_dir = args.work / "bin"
    bin_dir.mkdir(parents=True)
    for file in [args.mixer, args.driver, args.dll]:
        shutil.copy(file, bin_dir)
    tally = comserver.Tally()
    display, name = start_display()
    wine = comserver.Wine(args.work)
    wine.env["DISPLAY"] = name
    os.chdir(bin_dir)
    try:
        wine.boot()
        wine.register(args.server)
        # No window manager runs on the virtual display: Wine draws the frames.
        wine.run(["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Decorated", "/d", "N",
                  "/f"])
        if shot:
            run_card(args, wine, tally, "sample", [], ["0", "0", "1", "1"], "0", shot)
        else:
            for card in CARDS:
                started = time.monotonic()
                run_card(args, wine, tally, *card)
                print(f"{card[0]}: {time.monotonic() - started:.1f} s")
    finally:
        wine.stop()
        display.kill()
        display.wait()
    print(f"{tally.passed} checks passed, {tally.failed} failed")
    return 1 if tally.failed else 0


if __name__ == "__main__":
    sys.exit(main())
