#!/usr/bin/env python3
"""The user guide's picture of VeltoMixer on the sample card (docs/veltomixer.png).

Runs the window test's session (tests/veltomixer/run-veltomixer-test.py, with
its options) with the driver photographing the window, and writes the
picture as PNG to --output. `cmake --build --preset mingw --target
veltomixer_screenshot` runs it.
"""
import importlib.util
import pathlib
import struct
import sys
import tempfile
import zlib

RUNNER = pathlib.Path(__file__).resolve().parent.parent / "tests/veltomixer/run-veltomixer-test.py"


def bmp_to_png(bmp, png):
    """A 24-bit bottom-up BMP (what the driver writes) as an RGB PNG."""
    data = bmp.read_bytes()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    rows = b"".join(
        b"\0" + bytes(data[offset + y * stride + x * 3 + (2 - c)]
                      for x in range(width) for c in range(3))
        for y in range(height - 1, -1, -1))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    png.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                    + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def main():
    at = sys.argv.index("--output")
    output = pathlib.Path(sys.argv[at + 1]).resolve()
    del sys.argv[at:at + 2]
    spec = importlib.util.spec_from_file_location("veltomixer_test", RUNNER)
    runner = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(runner)
    with tempfile.TemporaryDirectory() as scratch:
        bmp = pathlib.Path(scratch) / "window.bmp"
        status = runner.main(shot=bmp)
        if status == 0:
            bmp_to_png(bmp, output)
            print(f"wrote {output}")
    return status


if __name__ == "__main__":
    sys.exit(main())
