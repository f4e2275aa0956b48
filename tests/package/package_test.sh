#!/usr/bin/env bash
# package_test.sh CASE
# The install rules and the Debian package, checked from a DESTDIR install
# of the build in VEKDC_BUILD_DIR (set by CTest with the other VEKDC_* values
# that check_install.sh reads). A case whose tool is absent exits 77, which
# CTest reports as skipped, after saying which tool is missing.
set -euo pipefail

case_name="${1:?usage: package_test.sh CASE}"
here="$(cd "$(dirname "$0")" && pwd)"
build="${VEKDC_BUILD_DIR:?}"
id="${VEKDC_APP_ID:?}"
version="${VEKDC_VERSION:?}"
skip_status=77

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

need() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed (setup.sh test installs it)"
            exit $skip_status
        fi
    done
}

install_tree() {
    DESTDIR="$work/destdir" cmake --install "$build" --prefix /usr >"$work/install.log"
    echo "$work/destdir/usr"
}

# Faults that check_install.sh must find, each with the message it gives:
# what to do to a good tree | what the checker says.
faults=(
    'mkdir -p include && touch include/vek.h|unexpected file include/vek.h'
    'mkdir -p lib && touch lib/libvekdc_engine.a|unexpected file lib/libvekdc_engine.a'
    'cp bin/vekdc-cli bin/cli_test|unexpected file bin/cli_test'
    'rm share/man/man1/vekdc.1.gz|missing share/man/man1/vekdc.1.gz'
    'cp share/icons/hicolor/16x16/apps/ID.png share/icons/hicolor/32x32/apps/ID.png|icon share/icons/hicolor/32x32/apps/ID.png is 16x16, not 32x32'
    'sed -i s/^Icon=.*/Icon=other/ share/applications/ID.desktop|the desktop entry'"'"'s icon other is not installed'
    'sed -i "s/^Exec=vekdc /Exec=vekdc-gui /" share/applications/ID.desktop|the desktop entry runs vekdc-gui, which is not installed'
    'sed -i s/application.x-vek/application\\/x-other/ share/applications/ID.desktop|the desktop entry opens application/x-other, which the MIME package does not define'
    'sed -i "s/<release version=\"[^\"]*\"/<release version=\"0.9\"/" share/metainfo/ID.metainfo.xml|the metainfo'"'"'s release is not version VERSION'
    'chmod -x bin/vekdc-cli|bin/vekdc-cli is not executable'
    'sed -i "s/^Exec=.*/Exec=vekdc %F/" share/applications/ID.desktop|the desktop entry does not hand the files to vekdc --add'
    'sed -i "/^Comment.ja.=/d" share/applications/ID.desktop|the desktop entry has no Comment[ja]'
    'sed -i "s/^Categories=.*/Categories=Utility;/" share/applications/ID.desktop|the desktop entry is not in Utility and Security'
    'sed -i "/<screenshot/d" share/metainfo/ID.metainfo.xml|the metainfo shows no screenshot'
)

case "$case_name" in
    install_tree)
        "$here/check_install.sh" "$(install_tree)"
        ;;
    checker_finds_faults)
        good="$(install_tree)"
        bad="$work/bad"
        status=0
        for fault in "${faults[@]}"; do
            action="${fault%%|*}"
            action="${action//ID/$id}"
            message="${fault#*|}"
            message="${message//ID/$id}"
            message="${message//VERSION/$version}"
            rm -rf "$bad"
            cp -a "$good" "$bad"
            (cd "$bad" && eval "$action")
            if output="$("$here/check_install.sh" "$bad")"; then
                echo "not caught: $action"
                status=1
            elif ! grep -qxF "FAIL: $message" <<<"$output"; then
                echo "wrong message for: $action"
                echo "  expected: FAIL: $message"
                while IFS= read -r line; do echo "  got: $line"; done <<<"$output"
                status=1
            fi
        done
        exit $status
        ;;
    desktop_entry)
        need desktop-file-validate
        root="$(install_tree)"
        desktop-file-validate "$root/share/applications/$id.desktop"
        ;;
    metainfo)
        need appstreamcli
        root="$(install_tree)"
        appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml"
        ;;
    mime)
        # Build a MIME database from the installed package alone and look up
        # which type owns each name.
        need update-mime-database
        root="$(install_tree)"
        mkdir -p "$work/mime/packages"
        cp "$root/share/mime/packages/$id.xml" "$work/mime/packages/"
        update-mime-database "$work/mime"
        status=0
        # name | type the package gives it (empty: none)
        for row in 'letter.vek|application/x-vek' 'x.encrypted|application/x-vek' \
                   'example.key|' 'notes.txt|' 'a.vek.txt|'; do
            name="${row%%|*}"
            want="${row#*|}"
            got=""
            while IFS=: read -r _ type pattern _; do
                # shellcheck disable=SC2053  # the pattern is a glob on purpose
                if [[ "$name" == $pattern ]]; then
                    got="$type"
                fi
            done < <(grep -v '^#' "$work/mime/globs2")
            if [ "$got" != "$want" ]; then
                echo "FAIL: $name is '${got}', expected '${want}'"
                status=1
            fi
        done
        grep -q "<comment xml:lang=\"ja\">" "$work/mime/application/x-vek.xml" ||
            { echo "FAIL: no Japanese comment for application/x-vek"; status=1; }
        exit $status
        ;;
    man_pages)
        need man
        root="$(install_tree)"
        status=0
        for page in "$root"/share/man/man*/*.gz; do
            warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
            if [ -n "$warnings" ]; then
                echo "FAIL: ${page#"$root"/}: $warnings"
                status=1
            fi
        done
        exit $status
        ;;
    deb)
        # The package as ./setup.sh package makes it, from this build.
        need cpack dpkg-deb dpkg-shlibdeps file
        cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" ||
            { cat "$work/cpack.log"; exit 1; }
        debs=("$work"/deb/*.deb)
        [ ${#debs[@]} -eq 1 ] || { echo "FAIL: cpack made ${#debs[@]} packages"; exit 1; }
        deb="${debs[0]}"
        status=0
        # control field | what it must hold (a fixed string)
        rows=(
            "Package|vekdc"
            "Version|$version"
            "Depends|libc6 (>= "
            "Depends|libstdc++6 (>= "
        )
        if [ "${VEKDC_GUI:-ON}" = ON ]; then
            rows+=(
                "Depends|libqt6widgets6 (>= "
                "Depends|fonts-ipafont-gothic | fonts-noto-cjk"
                "Depends|qt6-translations-l10n"
                "Depends|qt6-qpa-plugins"
            )
        fi
        for row in "${rows[@]}"; do
            field="${row%%|*}"
            want="${row#*|}"
            got="$(dpkg-deb -f "$deb" "$field")"
            if [[ "$got" != *"$want"* ]]; then
                echo "FAIL: $field is '$got', should hold '$want'"
                status=1
            fi
        done
        dpkg-deb -x "$deb" "$work/unpacked"
        "$here/check_install.sh" "$work/unpacked/usr" || status=1
        exit $status
        ;;
    *)
        echo "unknown case $case_name" >&2
        exit 64
        ;;
esac
