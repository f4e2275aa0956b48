#!/bin/sh
# The Windows programs run on a bare Windows: each imports only DLLs that ship
# with Windows itself (no run-time library of the compiler beside it).
#
#   dll_test.sh OBJDUMP PROGRAM.exe...
set -eu

objdump=$1
shift
# Windows' own DLLs that a program of this kind may use, in lower case.
shipped="advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll"
shipped="$shipped oleaut32.dll shell32.dll shlwapi.dll user32.dll uxtheme.dll version.dll"

failures=0
for program in "$@"; do
    dlls=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' |
        tr 'A-Z' 'a-z' | tr -d '\r')
    if [ -z "$dlls" ]; then
        echo "FAILED: no imports read from $program" >&2
        failures=$((failures + 1))
    fi
    for dll in $dlls; do
        case " $shipped " in
            *" $dll "*) ;;
            *)
                echo "FAILED: $(basename "$program") needs $dll, which Windows does not ship" >&2
                failures=$((failures + 1))
                ;;
        esac
    done
    echo "$(basename "$program"):" $dlls
done
[ "$failures" -eq 0 ]
