#!/bin/sh
# Installs the MSI silently under wine, in a wine prefix made for this test
# alone, the way an administrator deploys it, and checks what it promises:
#
# - the database shows the version, the shortcut and, with the window
#   program, the .vek association (msiinfo);
# - after `msiexec /i ... /qn` the files are in Program Files\VekDC, the
#   folder is on the system PATH, the shortcut is in the Start menu and, with
#   the window program, the association and the verb are in the registry;
# - vekdc-cli decodes the installed examples from a batch file run in another
#   folder, by name alone (through PATH) and with a wildcard;
# - the newer MSI replaces it (one VekDC installed, the newer one), and the
#   older one is then refused;
# - after `msiexec /x ... /qn` the prefix is as it was before: the same files
#   and registry, except what Windows Installer itself keeps from its first
#   use (its empty folder and keys) and what wine does on its own.
#
#   msi_test.sh MSI NEWER_MSI VERSION NEWER_VERSION WINDOW EXAMPLES WINE_RUN
set -eu

msi=$1 newer=$2 version=$3 newer_version=$4 window=$5 examples=$6 wine_run=$7

work=$(mktemp -d)
export WINEPREFIX="$work/wine" WINEDEBUG=-all
# No Mono or Gecko installers, and no menu entries on the machine running the test.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
finish() {
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
wine_path() {
    printf 'Z:%s' "$1" | tr / '\\'
}
# The data of a registry value (the key's default value when no name is
# given) as `reg query` shows it, or nothing.
reg_value() {
    if [ $# -eq 1 ]; then
        set -- "$1" '(Default)' /ve
    else
        set -- "$1" "$2" /v "$2"
    fi
    name=$2
    key=$1
    shift 2
    "$wine_run" reg query "$key" "$@" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$name *REG_[A-Z_]* *//p"
}
# The prefix's files, and the parts of its registry that an MSI writes to
# (software, classes, environment; not the hardware that wine looks at anew
# when it starts, nor wine's own settings, which it changes as it runs:
# a program that crashes under load adds Software\Wine\WineDbg), without the times of keys, the separators that wine's
# removal of a PATH entry leaves at its end (one for each removal), and the
# folder and empty keys that Windows Installer makes on its first use.
snapshot() {
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    (
        cd "$WINEPREFIX"
        find drive_c -printf '%y %p\n' | grep -vx 'd drive_c/windows/Installer' | sort
        for hive in system.reg user.reg userdef.reg; do
            echo "== $hive"
            sed -e 's/^\(\[.*\]\) [0-9]*$/\1/' -e '/^#time=/d' \
                -e '/^"PATH"=/s/;*"$/"/' "$hive" |
                awk 'BEGIN { RS = ""; ORS = "\n\n" }
                     /^\[(Software|Environment|System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment)/ &&
                     !/^\[Software\\\\Wine\\\\/ &&
                     !(split($0, lines, "\n") == 1 && $0 ~ /\\\\Installer/)'
        done
    ) >"$1"
}

# --- the database
msiinfo export "$msi" Property | grep -q "^ProductVersion	$version" ||
    fail "the MSI's version is not $version"
msiinfo export "$msi" Shortcut | grep -q '^[A-Za-z]*Shortcut	ProgramMenuFolder	' ||
    fail "the MSI has no Start-menu shortcut"
if [ "$window" = yes ]; then
    msiinfo export "$msi" Registry | grep -q '	\.vek		VekDC\.EncryptedFile	' ||
        fail "the MSI does not associate .vek with VekDC"
fi

# --- a fresh prefix, as it is before the installation
"$wine_run" cmd /c exit
snapshot "$work/before"

"$wine_run" msiexec /i "$(wine_path "$msi")" /qn || fail "msiexec /i exited with $?"

# --- what the installation made
installed="$WINEPREFIX/drive_c/Program Files/VekDC"
for file in vekdc-cli.exe README.md README.ja.md; do
    [ -f "$installed/$file" ] || fail "$file is not installed"
done
if [ "$window" = yes ]; then
    [ -f "$installed/vekdc.exe" ] || fail "vekdc.exe is not installed"
fi
diff -r "$examples" "$installed/examples" >/dev/null || fail "the examples are not installed whole"
shortcuts=$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/*' -name 'VekDC*.lnk' | wc -l)
[ "$shortcuts" -eq 1 ] || fail "$shortcuts Start-menu shortcuts instead of one"
path=$(reg_value 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' PATH)
case ";$path;" in
    *';C:\Program Files\VekDC\;'*) ;;
    *) fail "the system PATH does not hold C:\\Program Files\\VekDC\\: $path" ;;
esac
if [ "$window" = yes ]; then
    [ "$(reg_value 'HKCR\.vek')" = VekDC.EncryptedFile ] || fail ".vek is not VekDC's"
    [ "$(reg_value 'HKCR\.encrypted')" = VekDC.EncryptedFile ] ||
        fail ".encrypted is not VekDC's"
    verb='HKCR\VekDC.EncryptedFile\shell\decode'
    [ "$(reg_value "$verb\\command")" = '"C:\Program Files\VekDC\vekdc.exe" --add "%1"' ] ||
        fail "the verb's command is $(reg_value "$verb\\command")"
    case "$(reg_value "$verb" MUIVerb)" in
        '@C:\Program Files\VekDC\vekdc.exe,-'[0-9]*) ;;
        *) fail "the verb's text is $(reg_value "$verb" MUIVerb), not vekdc.exe's" ;;
    esac
    [ "$(reg_value "$verb" MultiSelectModel)" = Player ] || fail "the verb takes one file only"
fi

# --- vekdc-cli from a console, by name, on the installed examples
mkdir "$work/console"
printf '%s\r\n' '@echo off' 'cd /d C:\' \
    'vekdc-cli decode -k "%ProgramFiles%\VekDC\examples\example.key" -o "%~dp0decoded" "%ProgramFiles%\VekDC\examples\*.vek"' \
    'if errorlevel 1 exit /b 1' >"$work/console/decode.bat"
"$wine_run" cmd /c "$(wine_path "$work/console/decode.bat")" >/dev/null ||
    fail "vekdc-cli decode of the installed examples exited with $?"
diff -r "$examples/plain" "$work/console/decoded" >/dev/null ||
    fail "the decoded examples differ from the originals"

# --- upgrade, and no way back
# The versions of VekDC that Windows lists as installed, one a line.
installed_versions() {
    "$wine_run" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
        tr -d '\r' | awk '/DisplayName +REG_SZ +VekDC$/ { vekdc = 1 }
                          /DisplayVersion/ && vekdc { print $3 }
                          /^HKEY/ { vekdc = 0 }'
}
"$wine_run" msiexec /i "$(wine_path "$newer")" /qn || fail "the upgrade exited with $?"
[ "$(installed_versions)" = "$newer_version" ] ||
    fail "installed after the upgrade:" $(installed_versions)
[ -f "$installed/vekdc-cli.exe" ] || fail "the upgrade removed vekdc-cli.exe"
if "$wine_run" msiexec /i "$(wine_path "$msi")" /qn; then
    fail "the older MSI was installed over the newer one"
fi
[ "$(installed_versions)" = "$newer_version" ] ||
    fail "installed after the older MSI was refused:" $(installed_versions)

# --- removal
"$wine_run" msiexec /x "$(wine_path "$newer")" /qn || fail "msiexec /x exited with $?"
snapshot "$work/after"
if ! diff -u "$work/before" "$work/after" >"$work/left"; then
    fail "the removal left the prefix changed:"
    head -n 60 "$work/left" >&2
fi

[ "$failures" -eq 0 ] || exit 1
echo "the MSI $version installs, upgrades to $newer_version and goes away without a trace"
