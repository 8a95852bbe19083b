#!/usr/bin/env bash
# Checks the Windows plugin DLL as a file: a PE32 i386 DLL whose export table holds exactly
# load_pyx_missions and whose imports are Windows system DLLs only (the C++ runtime and the
# thread library are linked in; event tracing's Advapi32.dll is looked up at run time).
set -euo pipefail
dll=${1:-build-windows/bin/pyx_missions.dll}
dump=$(i686-w64-mingw32-objdump -p "$dll")
fail() { echo "check-windows-dll: $dll: $*" >&2; exit 1; }
grep -q 'file format pei-i386' <<<"$dump" || fail "not a PE i386 file"
grep -q -E '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$dump" || fail "not PE32"
characteristics=$(sed -n -E 's/^Characteristics 0x([0-9a-fA-F]+)$/\1/p' <<<"$dump")
(( 0x${characteristics:-0} & 0x2000 )) || fail "not a DLL (characteristics 0x${characteristics:-?})"
# The export table lists "[ordinal] name" rows after the "[Ordinal/Name Pointer] Table" line.
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n -E 's/^[[:space:]]*\[[[:space:]]*[0-9]+\][[:space:]]+(.+)$/\1/p')
[ "$exports" = "load_pyx_missions" ] || fail "exports are not exactly load_pyx_missions: ${exports:-none}"
imports=$(sed -n -E 's/^[[:space:]]*DLL Name: (.+)$/\1/p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)
for dll_name in $imports; do
  case "$dll_name" in
    kernel32.dll|msvcrt.dll) ;;
    *) fail "imports $dll_name (only Windows' own DLLs may be imported)" ;;
  esac
done
echo "check-windows-dll: $dll: PE32 i386 DLL, exports load_pyx_missions, imports $(echo $imports)"
