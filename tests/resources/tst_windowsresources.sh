#!/usr/bin/env bash
# Compiles Maritor's resource script with the mingw-w64 resource compiler, as
# a Windows build does, links it into a stub program and reads the resources
# back: the icon group IDI_ICON1 with the 32x32 and 16x16 images of the icon
# file, the manifest as resource 1 of type 24, well-formed, with the
# project's version, asking for no elevation and for Common Controls
# 6.0.0.0, and the version resource with the project's version and the
# product name.
#   tst_windowsresources.sh WINDRES CC WRESTOOL ICOTOOL PYTHON CONFIGURATOR_DIR
#                           VERSION_HEADER_DIR PROJECT_VERSION
set -euo pipefail
windres=$1 cc=$2 wrestool=$3 icotool=$4 python=$5 configurator=$6 header_dir=$7 version=$8

# Compiled from elsewhere than its own folder, as a build directory does:
# the files the script names must still be found.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
"$windres" -I "$header_dir" -O coff -i "$configurator/maritor.rc" -o maritor.o
echo 'int main(void) { return 0; }' >stub.c
"$cc" -mwindows stub.c maritor.o -o maritor.exe

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

groups=$("$wrestool" -l --type=14 maritor.exe | sed -n "s/.*--name=\([^ ]*\) .*/\1/p" | tr '\n' ' ')
[ "$groups" = "'IDI_ICON1' " ] || fail "icon groups: $groups"

"$wrestool" -x --type=14 --name=IDI_ICON1 maritor.exe -o group.ico
images=$("$icotool" -l group.ico | sed 's/--index=[0-9]* //' | tr '\n' ' ')
expected="--icon --width=32 --height=32 --bit-depth=8 --palette-size=256 "
expected+="--icon --width=16 --height=16 --bit-depth=8 --palette-size=256 "
[ "$images" = "$expected" ] || fail "IDI_ICON1 holds: $images"

# The images follow the icon file's 6-byte header and two 16-byte entries.
for name in 1 2; do "$wrestool" -x --raw --type=3 --name=$name maritor.exe; done >images.bin
tail -c +39 "$configurator/images/resources/AppIcon.ico" | cmp -s - images.bin \
    || fail "the icon images differ from images/resources/AppIcon.ico"

"$wrestool" -x --raw --type=24 --name=1 maritor.exe >manifest.xml
"$python" - manifest.xml "$version.0" <<'PY' || fail "manifest"
import sys
import xml.etree.ElementTree as ET

v1, v3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
root = ET.parse(sys.argv[1]).getroot()
levels = [e.get("level") for e in root.iter(v3 + "requestedExecutionLevel")]
dependencies = [e.attrib for d in root.iter(v1 + "dependentAssembly") for e in d.iter(v1 + "assemblyIdentity")]
common_controls = {"type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
                   "processorArchitecture": "*", "publicKeyToken": "6595b64144ccf1df", "language": "*"}
problems = []
if root.tag != v1 + "assembly":
    problems.append("root element " + root.tag)
identity = root.find(v1 + "assemblyIdentity")
if identity is None or identity.get("version") != sys.argv[2]:
    problems.append("version %s, expected %s" % (identity is not None and identity.get("version"), sys.argv[2]))
if levels != ["asInvoker"]:
    problems.append("execution levels %s" % levels)
if dependencies != [common_controls]:
    problems.append("dependencies %s" % dependencies)
for problem in problems:
    print("manifest:", problem, file=sys.stderr)
sys.exit(1 if problems else 0)
PY

# File and product version, both in the fixed part (after its signature BD 04
# EF FE and the structure version, as two DWORDs of two 16-bit numbers each)
# and as texts, where every string is its UTF-16 key, zero padding and value.
"$wrestool" -x --raw --type=16 --name=1 maritor.exe >version.bin
"$python" - version.bin "$version.0" <<'PY' || fail "version resource"
import re
import struct
import sys

data, expected = open(sys.argv[1], "rb").read(), sys.argv[2]
fixed = data.index(b"\xbd\x04\xef\xfe") + 8
numbers = struct.unpack_from("<4I", data, fixed)
dotted = ["%d.%d.%d.%d" % (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)
          for high, low in (numbers[0:2], numbers[2:4])]
text = data.decode("utf-16-le")
found = {key: re.search(key + "\0+([^\0]*)\0", text) for key in ("FileVersion", "ProductVersion", "ProductName")}
found = {key: match.group(1) if match else None for key, match in found.items()}
wanted = {"FileVersion": expected, "ProductVersion": expected, "ProductName": "ZORVEL Custom Config"}
problems = ["fixed file and product version %s, expected %s" % (dotted, expected)] if dotted != [expected] * 2 else []
problems += ["%s is %r, expected %r" % (key, found[key], value) for key, value in wanted.items() if found[key] != value]
for problem in problems:
    print("version resource:", problem, file=sys.stderr)
sys.exit(1 if problems else 0)
PY

[ "$failures" -eq 0 ]
