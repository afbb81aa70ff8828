#!/usr/bin/env bash
# The program's start-up imports are only the system's KnownDLLs, which Windows
# loads from the system folder whatever lies beside the program. Anything else
# is loaded on first use, after the program has restricted the library search
# to the system folder; imported at start-up, a copy planted beside the program
# would run with the watchdog's rights.
#   known_dlls_test.sh OBJDUMP PROGRAM
set -euo pipefail
objdump=$1 program=$2
# Windows 10's KnownDLLs (HKLM\System\CurrentControlSet\Control\Session
# Manager\KnownDLLs), and the common controls, which the manifest takes from
# the side-by-side store.
known=" advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32
        msctf msvcrt normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32
        shlwapi user32 wldap32 ws2_32 comctl32 "
known=" $(echo $known) "
mapfile -t imported < <("$objdump" -p "$program" | sed -n 's/^\s*DLL Name: \(.*\)\.[dD][lL][lL]$/\1/p')
((${#imported[@]} > 0)) || { echo "FAILED: no import table read from $program"; exit 1; }
failures=0
for dll in "${imported[@]}"; do
  lower=${dll,,}
  if [[ $known != *" $lower "* ]]; then
    echo "FAILED: $program imports $dll.dll at start-up; it is no KnownDLL"
    failures=$((failures + 1))
  fi
done
echo "imports at start-up: ${imported[*]}"
exit $((failures > 0))
