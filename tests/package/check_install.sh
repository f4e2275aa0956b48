#!/usr/bin/env bash
# check_install.sh ROOT
# Checks an installed tree (ROOT is the prefix, e.g. $DESTDIR/usr): every file
# is where the GNU, Debian and freedesktop.org conventions put it, nothing else
# is there, and the desktop files agree with each other and with the programs.
# Prints one "FAIL: ..." line per fault and exits 1 when there is any.
#
# From the build (CTest): VEKDC_APP_ID, VEKDC_VERSION, VEKDC_ICON_SIZES
# (space-separated) and VEKDC_GUI (ON or OFF).
set -uo pipefail

root="${1:?usage: check_install.sh ROOT}"
id="${VEKDC_APP_ID:?}"
version="${VEKDC_VERSION:?}"
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# What the tree must hold, by path under the prefix.
expected=(
    bin/vekdc-cli
    share/man/man1/vekdc-cli.1.gz
    share/bash-completion/completions/vekdc-cli
    share/doc/vekdc/README.md
    share/doc/vekdc/README.ja.md
)
if [ "${VEKDC_GUI:-ON}" = ON ]; then
    expected+=(
        bin/vekdc
        "share/applications/$id.desktop"
        "share/mime/packages/$id.xml"
        "share/metainfo/$id.metainfo.xml"
        share/man/man1/vekdc.1.gz
    )
    for size in ${VEKDC_ICON_SIZES:?}; do
        expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
    done
fi

# Where installed files may be at all. Anything else (headers, static or
# shared libraries, CMake package files, test programs) does not belong.
allowed_patterns=(
    'bin/vekdc'
    'bin/vekdc-cli'
    'share/applications/*.desktop'
    'share/mime/packages/*.xml'
    'share/metainfo/*.metainfo.xml'
    'share/icons/hicolor/*/apps/*.png'
    'share/man/man[1-8]/*.[1-8].gz'
    'share/bash-completion/completions/*'
    'share/doc/vekdc/*'
)

check_expected() {
    local path
    for path in "${expected[@]}"; do
        [ -f "$root/$path" ] || fail "missing $path"
    done
    for path in bin/vekdc bin/vekdc-cli; do
        if [ -f "$root/$path" ] && [ ! -x "$root/$path" ]; then
            fail "$path is not executable"
        fi
    done
}

check_nothing_else() {
    local file path pattern ok
    while IFS= read -r -d '' file; do
        path="${file#"$root"/}"
        ok=0
        for pattern in "${allowed_patterns[@]}"; do
            # shellcheck disable=SC2053  # the pattern is a glob on purpose
            if [[ "$path" == $pattern ]]; then
                ok=1
                break
            fi
        done
        [ $ok -eq 1 ] || fail "unexpected file $path"
    done < <(find "$root" \( -type f -o -type l \) -print0)
}

# The width and height a PNG file declares in its header.
png_size() {
    od -An -tu1 -j16 -N8 "$1" |
        awk '{ printf "%dx%d\n", $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }'
}

check_icons() {
    local icon folder size
    while IFS= read -r -d '' icon; do
        folder="${icon%/apps/*}"
        folder="${folder##*/}"
        size="$(png_size "$icon")"
        [ "$size" = "$folder" ] || fail "icon ${icon#"$root"/} is $size, not $folder"
    done < <(find "$root/share/icons" -name '*.png' -print0 2>/dev/null)
}

# The value of KEY in a desktop entry's main group.
desktop_value() {
    sed -n "/^\[Desktop Entry\]/,/^\[/{s/^$2=//p}" "$1" | head -n 1
}

check_desktop_entry() {
    local entry="$root/share/applications/$id.desktop"
    [ -f "$entry" ] || return 0
    local icon exec program mime
    icon="$(desktop_value "$entry" Icon)"
    [ -f "$root/share/icons/hicolor/48x48/apps/$icon.png" ] ||
        fail "the desktop entry's icon $icon is not installed"
    exec="$(desktop_value "$entry" Exec)"
    program="${exec%% *}"
    [ -x "$root/bin/$program" ] || fail "the desktop entry runs $program, which is not installed"
    [ "$exec" = "$program --add %F" ] ||
        fail "the desktop entry does not hand the files to $program --add"
    local key
    for key in 'GenericName[ja]' 'Comment[ja]' Comment; do
        [ -n "$(desktop_value "$entry" "${key//[/\\[}")" ] || fail "the desktop entry has no $key"
    done
    [[ "$(desktop_value "$entry" Categories)" == *Utility\;*Security\;* ]] ||
        fail "the desktop entry is not in Utility and Security"
    mime="$(desktop_value "$entry" MimeType)"
    mime="${mime%;}"
    grep -q "<mime-type type=\"$mime\"" "$root/share/mime/packages/$id.xml" 2>/dev/null ||
        fail "the desktop entry opens $mime, which the MIME package does not define"
}

check_metainfo() {
    local metainfo="$root/share/metainfo/$id.metainfo.xml"
    [ -f "$metainfo" ] || return 0
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "the metainfo does not launch $id.desktop"
    grep -q "<screenshot" "$metainfo" || fail "the metainfo shows no screenshot"
    grep -q "<release version=\"$version\"" "$metainfo" ||
        fail "the metainfo's release is not version $version"
}

check_versions() {
    local answer
    if [ -x "$root/bin/vekdc-cli" ]; then
        answer="$("$root/bin/vekdc-cli" --version)"
        [ "$answer" = "vekdc-cli $version" ] || fail "vekdc-cli --version says '$answer'"
    fi
}

check_expected
check_nothing_else
check_icons
check_desktop_entry
check_metainfo
check_versions

if [ $failures -ne 0 ]; then
    echo "$failures fault(s) in $root"
    exit 1
fi
echo "installed tree in $root is complete and clean"
