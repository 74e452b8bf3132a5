#!/usr/bin/env python3
"""threads_hammer.exe through VeltoSound.dll over the Core Audio test server.

In one Wine prefix: the threaded run (six threads, two each in a
single-threaded apartment, in the multithreaded one and with COM
uninitialised), then the soak (a million export calls from one thread in a
single-threaded apartment, in ten rounds, the process's private memory flat
after the first). A thread without COM would make the soak cost minutes
more: Wine builds and tears down an apartment for every binding and listing
call's own CoInitialize. Each must exit 0 and the server must report no
reference left and no problem.
"""
import argparse
import importlib.util
import os
import pathlib
import shutil
import sys
import time

RUNS = [
    ("threads", ["--threads", "6", "--calls", "100000"]),
    ("soak", ["--threads", "1", "--calls", "1000000", "--rounds", "10"]),
]


def comserver_runner():
    path = pathlib.Path(__file__).resolve().parents[1] / "comserver" / "run-comserver-tests.py"
    spec = importlib.util.spec_from_file_location("comserver_runner", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def main():
    parser = argparse.ArgumentParser()
    for option in ["hammer", "dll", "server", "work"]:
        parser.add_argument("--" + option, required=True, type=pathlib.Path)
    args = parser.parse_args()
    runner = comserver_runner()
    shutil.rmtree(args.work, ignore_errors=True)
    bin_dir = args.work / "bin"
    bin_dir.mkdir(parents=True)
    for file in [args.hammer, args.dll]:
        shutil.copy(file, bin_dir)
    tally = runner.Tally()
    wine = runner.Wine(args.work)
    os.chdir(bin_dir)
    try:
        wine.boot()
        wine.register(args.server)
        for name, options in RUNS:
            log = args.work / f"{name}.log"
            started = time.monotonic()
            result = wine.run(
                [args.hammer.name] + options,
                # The server's report alone: a trace of every call would cost
                # more than the calls.
                {"VELTO_COMSERVER_LOG": runner.windows_path(log), "VELTO_COMSERVER_TRACE": "0"},
                timeout=900,
            )
            print(result.stdout.replace("\r", ""), end="")
            print(f"{name}: {time.monotonic() - started:.1f} s")
            tally.check(result.returncode == 0, f"{name}: threads_hammer.exe held",
                        result.stderr[-2000:])
            runner.check_report(tally, name, runner.read_log(log))
    finally:
        wine.stop()
    print(f"{tally.passed} checks passed, {tally.failed} failed")
    return 1 if tally.failed else 0


if __name__ == "__main__":
    sys.exit(main())
