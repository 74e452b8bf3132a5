#!/usr/bin/env python3
"""The DLL names no COM id but the SDK's.

Collects every GUID the toolchain knows (the MinGW-w64 headers'
__CRT_UUID_DECL, DEFINE_GUID, DEFINE_OLEGUID, DEFINE_PROPERTYKEY and
MIDL_INTERFACE ids, and every 16-byte constant of its libuuid.a) and scans the
DLL's bytes for them. Only the ids of tests/comserver/sdk_ids.h may appear,
and each of them must (the library's table is used, not just declared).

usage: check-com-ids.py DLL SDK_IDS_H MINGW_INCLUDE_DIR LIBUUID OBJDUMP
"""
import pathlib
import re
import subprocess
import sys

NUM = r"\s*([0-9a-fA-FxX]+)[uUlL]*\s*"
GUID_ARGS = ",".join([NUM] * 11)
DECLS = [
    re.compile(r"__CRT_UUID_DECL\(\s*(\w+)\s*," + GUID_ARGS + r"\)"),
    re.compile(r"DEFINE_GUID\(\s*(\w+)\s*," + GUID_ARGS + r"\)"),
    re.compile(r"DEFINE_PROPERTYKEY\(\s*(\w+)\s*," + GUID_ARGS + ","),
]
OLEGUID = re.compile(r"DEFINE_OLEGUID\(\s*(\w+)\s*," + ",".join([NUM] * 3) + r"\)")
MIDL = re.compile(
    r'MIDL_INTERFACE\("([0-9a-fA-F]{8})-([0-9a-fA-F]{4})-([0-9a-fA-F]{4})-'
    r'([0-9a-fA-F]{4})-([0-9a-fA-F]{12})"\)\s*(\w+)'
)
HEX = r"\s*(0x[0-9a-fA-F]+)\s*"
SDK_ENTRY = re.compile(
    r'\{"(\w+)",\s*\{' + ",".join([HEX] * 3) + r",\s*\{" + ",".join([HEX] * 8) + r"\}\}\}"
)


def number(text):
    return int(text, 16) if text.lower().startswith("0x") else int(text, 10)


def guid_bytes(fields):
    d1, d2, d3, *d4 = fields
    return d1.to_bytes(4, "little") + d2.to_bytes(2, "little") + d3.to_bytes(2, "little") + bytes(d4)


def header_ids(include_dir):
    ids = {}
    for header in sorted(pathlib.Path(include_dir).rglob("*.h")):
        text = header.read_text(errors="replace")
        found = [(m.group(1), m.groups()[1:]) for pattern in DECLS for m in pattern.finditer(text)]
        found += [(m.group(1), [*m.groups()[1:], "0xC0", "0", "0", "0", "0", "0", "0", "0x46"])
                  for m in OLEGUID.finditer(text)]
        for name, fields in found:
            try:
                ids.setdefault(guid_bytes([number(x) for x in fields]), name)
            except ValueError:
                continue  # a macro parameter, not a value
        for match in MIDL.finditer(text):
            a, b, c, d, e, name = match.groups()
            fields = [int(a, 16), int(b, 16), int(c, 16), *bytes.fromhex(d + e)]
            ids.setdefault(guid_bytes(fields), name)
    return ids


def library_ids(libuuid, objdump):
    """Every 16-byte data section of the archive, named after its section."""
    dump = subprocess.run([objdump, "-s", libuuid], capture_output=True, text=True, check=True).stdout
    ids = {}
    name, data = None, bytearray()

    def flush():
        if name and len(data) == 16:
            ids.setdefault(bytes(data), name)

    for line in dump.splitlines():
        if line.startswith("Contents of section "):
            flush()
            name, data = line[len("Contents of section ") : -1], bytearray()
        elif name and line.startswith(" ") and len(line) > 6:
            words = line[6:42].split()
            data += bytes.fromhex("".join(words))
    flush()
    return ids


def ids_in(image, candidates):
    """The candidates found anywhere in image, at any offset."""
    prefixes = {value[:4] for value in candidates}
    found = set()
    for offset in range(len(image) - 15):
        if image[offset : offset + 4] in prefixes and image[offset : offset + 16] in candidates:
            found.add(image[offset : offset + 16])
    return found


def main():
    dll, sdk_ids_h, include_dir, libuuid, objdump = sys.argv[1:6]
    allowed = {}
    for match in SDK_ENTRY.finditer(pathlib.Path(sdk_ids_h).read_text()):
        allowed[guid_bytes([number(x) for x in match.groups()[1:]])] = match.group(1)
    # The list's first array holds what the library names; the second what
    # only the server answers to.
    library_names = pathlib.Path(sdk_ids_h).read_text().split("kServerOnlyIds")[0]
    named = {k: v for k, v in allowed.items() if f'"{v}"' in library_names}
    # The third, the subtypes the walks compare answers with: allowed, not
    # required (they may be compared as immediates). DMOCATEGORY_AGC has
    # KSNODETYPE_AGC's value.
    node_type_names = pathlib.Path(sdk_ids_h).read_text().split("kNodeTypeIds")[1]
    node_types = {k for k, v in allowed.items() if f'"{v}"' in node_type_names}

    known = header_ids(include_dir)
    known.update({k: v for k, v in library_ids(libuuid, objdump).items() if k not in known})
    image = pathlib.Path(dll).read_bytes()
    present = ids_in(image, set(known) | set(allowed))
    failures = 0
    if len(known) < 1000 or len(named) < 10:
        print(f"FAIL only {len(known)} toolchain ids and {len(named)} SDK ids were read")
        return 1
    for value, name in sorted(named.items(), key=lambda item: item[1]):
        if value in present:
            print(f"ok   {name} is in the DLL")
        else:
            print(f"FAIL {name} (the SDK's value) is not in the DLL")
            failures += 1
    # Uniform fills (the nil GUID, all ones) are no one's id.
    foreign = [
        (name, value)
        for value, name in known.items()
        if len(set(value)) > 1 and value not in named and value not in node_types and value in present
    ]
    for value, name in allowed.items():
        if value not in named and value not in node_types and value in present:
            foreign.append((name, value))
    for name, value in sorted(foreign)[:40]:
        print(f"FAIL the DLL contains {name} {value.hex()}, an id outside the table")
    if len(foreign) > 40:
        print(f"FAIL ... and {len(foreign) - 40} more")
    failures += len(foreign)
    print(f"{len(known)} toolchain ids scanned, {len(foreign)} outside the table found")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
