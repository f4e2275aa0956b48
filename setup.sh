#!/usr/bin/env bash
# Sets VekDC up on a Debian 12 machine and runs it.
#
#   ./setup.sh run     install what is missing, build, then start the desktop
#                      application when a display is available, or else decode
#                      the bundled example into out/ with vekdc-cli
#   ./setup.sh test    install what is missing, build, run every test
#   ./setup.sh build   install what is missing and build only
#   ./setup.sh package install what is missing, build a release into
#                      build-package/ and make the Debian package there
#   ./setup.sh windows install what is missing, cross-build vekdc.exe (the
#                      window) and vekdc-cli.exe for 64-bit Windows and pack
#                      them with README and the examples into
#                      build-windows/vekdc-VERSION-windows-x86_64.msi (an
#                      installer) and build-windows/vekdc-VERSION-windows-x86_64.zip
#   ./setup.sh windows-test
#                      the same, running the tests under wine first (in the
#                      wine prefix WINEPREFIX, by default one of VekDC's own in
#                      ~/.cache/vekdc/wine), with their windows on a private
#                      virtual X display (Xvfb), or on VEKDC_TEST_DISPLAY, and
#                      installing, upgrading and removing the MSI in a prefix
#                      of its own
#   ./setup.sh deps [run|test|package|windows|windows-test]
#                      only install what that command needs (the part that
#                      needs root: su -c './setup.sh deps', then ./setup.sh run)
#
# BUILD_DIR (default: build, for package: build-package, for the Windows
# modes: build-windows) and BUILD_TYPE (default: RelWithDebInfo, for package:
# Release) can be set in the environment; CMAKE_ARGS is passed on to cmake.
set -euo pipefail
cd "$(dirname "$0")"

mode="${1:-run}"
# The command whose packages are installed ("./setup.sh deps test": test).
needed_for="$mode"
[ "$mode" = deps ] && needed_for="${2:-run}"
if [ "$mode" = package ]; then
    build_dir="${BUILD_DIR:-build-package}"
    build_type="${BUILD_TYPE:-Release}"
    CMAKE_ARGS="-DVEKDC_BUILD_TESTS=OFF -DVEKDC_BUILD_BENCH=OFF ${CMAKE_ARGS:-}"
elif [[ "$mode" = windows* ]]; then
    build_dir="${BUILD_DIR:-build-windows}"
    build_type="${BUILD_TYPE:-RelWithDebInfo}"
else
    build_dir="${BUILD_DIR:-build}"
    build_type="${BUILD_TYPE:-RelWithDebInfo}"
fi

# What building and running needs (pkgconf finds xcb-xkb, without which the
# window's lock-key indicators would stay empty).
packages=(
    g++ make cmake help2man
    libgtest-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-translations-l10n fonts-ipafont-gothic
    pkgconf libxcb-xkb-dev
)
# What the tests need besides: a virtual display, the second Japanese font,
# clang's fuzzing runtime, the Windows cross compiler and wine, the
# desktop-file checkers, the MIME database and man for the install tests, and
# the accessibility bus with its Python binding for the screen-reader tests.
test_packages=(
    xvfb xauth
    fonts-noto-cjk
    at-spi2-core dbus-daemon dbus-bin python3-pyatspi
    clang libclang-rt-14-dev
    g++-mingw-w64-x86-64-posix wine64 googletest
    desktop-file-utils appstream
    shared-mime-info man-db
)
# What making the Debian package needs besides: dpkg-shlibdeps, which finds
# the packages that hold the libraries the programs use, and file.
package_packages=(
    dpkg-dev file
)
# What the Windows build needs: the cross compiler and the MSI tools; its
# tests also wine and GoogleTest's sources, which are built with the cross
# compiler, Windows' own fonts for wine (fonts-wine) and a Japanese one, and
# Xvfb as the display of the tests' windows.
windows_packages=(cmake make g++-mingw-w64-x86-64-posix wixl msitools)
windows_test_packages=(wine64 googletest fonts-wine fonts-ipafont-gothic xvfb xauth)

install_missing() {
    local missing=()
    for package in "${packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        if [ "$mode" = deps ]; then
            echo "All the packages that '$needed_for' needs are installed."
        fi
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "These Debian packages are missing: ${missing[*]}"
        echo "Install them as root, then run this command again:"
        echo "  su -c './setup.sh deps $needed_for'"
        echo "(where sudo is set up: sudo ./setup.sh deps $needed_for)"
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

build() {
    # shellcheck disable=SC2086
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE="$build_type" ${CMAKE_ARGS:-}
    cmake --build "$build_dir" -j"$(nproc)"
}

# Cross-builds for Windows; with tests, runs them under wine.
build_windows() {
    local tests="$1"
    # shellcheck disable=SC2086
    cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE="$build_type" -DVEKDC_BUILD_TESTS="$tests" ${CMAKE_ARGS:-}
    cmake --build "$build_dir" -j"$(nproc)"
}

show_windows_packages() {
    echo
    echo "The Windows packages:"
    ls "$build_dir"/vekdc-*-windows-x86_64.msi "$build_dir"/vekdc-*-windows-x86_64.zip
}

decode_example() {
    mkdir -p out
    echo
    echo "Decoding the bundled example into out/ ..."
    "$build_dir/vekdc-cli" decode -k examples/example.key -o out \
        examples/picture.vek examples/notes.vek examples/letter.vek
    echo
    echo "out/ now holds:"
    ls -l out
}

# Runs every test with a temporary folder of the run's own: whatever the tests
# leave behind in it is a fault of theirs, named, and fails the run. (Without
# a session's runtime folder Qt makes one in the temporary folder; the run
# gives it one beside the temporary folder instead.)
run_tests() {
    local scratch left status=0
    scratch="$(mktemp -d "${TMPDIR:-/tmp}/vekdc-tests.XXXXXX")"
    mkdir -m 0700 "$scratch/runtime" "$scratch/tmp"
    (cd "$build_dir" && TMPDIR="$scratch/tmp" \
        XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$scratch/runtime}" \
        ctest --output-on-failure -j"$(nproc)") || status=$?
    left="$(cd "$scratch/tmp" && find . -mindepth 1 -maxdepth 1 -printf '  %P\n')"
    rm -rf "$scratch"
    if [ -n "$left" ]; then
        echo "The tests left these behind in their temporary folder:"
        echo "$left"
        [ "$status" -ne 0 ] || status=1
    fi
    return "$status"
}

# The packages a command needs besides the ones for building.
add_packages_for() {
    case "$1" in
        test) packages+=("${test_packages[@]}" "${package_packages[@]}") ;;
        package) packages+=("${package_packages[@]}") ;;
        windows) packages=("${windows_packages[@]}") ;;
        windows-test) packages=("${windows_packages[@]}" "${windows_test_packages[@]}") ;;
    esac
}

case "$mode" in
    run)
        install_missing
        build
        if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build_dir/vekdc" ]; then
            echo "Starting the desktop application (choose examples/example.key as the key)."
            exec "$build_dir/vekdc"
        fi
        decode_example
        ;;
    test)
        add_packages_for test
        install_missing
        build
        run_tests
        ;;
    build)
        install_missing
        build
        ;;
    windows)
        add_packages_for windows
        install_missing
        build_windows OFF
        (cd "$build_dir" && cpack)
        show_windows_packages
        ;;
    windows-test)
        add_packages_for windows-test
        install_missing
        if [ -z "${VEKDC_TEST_DISPLAY:-}" ]; then
            # Everything wine starts from here on shows its windows on a
            # display of this run's own, which ends with it.
            export VEKDC_TEST_DISPLAY=private
            exec xvfb-run --auto-servernum --server-args="-screen 0 1920x1200x24 -nolisten tcp" \
                "$PWD/setup.sh" windows-test
        elif [ "$VEKDC_TEST_DISPLAY" != private ]; then
            export DISPLAY="$VEKDC_TEST_DISPLAY"
        fi
        build_windows ON
        (cd "$build_dir" && ctest --output-on-failure -j"$(nproc)" && cpack)
        show_windows_packages
        ;;
    package)
        add_packages_for package
        install_missing
        build
        cpack --config "$build_dir/CPackConfig.cmake" -B "$build_dir"
        echo
        echo "The package:"
        ls "$build_dir"/vekdc_*.deb
        ;;
    deps)
        case "$needed_for" in
            run | build | test | package | windows | windows-test) add_packages_for "$needed_for" ;;
            *)
                echo "usage: $0 deps [run|test|package|windows|windows-test]" >&2
                exit 64
                ;;
        esac
        install_missing
        ;;
    *)
        echo "usage: $0 [run|test|build|package|windows|windows-test|deps]" >&2
        exit 64
        ;;
esac
