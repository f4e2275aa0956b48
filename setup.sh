#!/usr/bin/env bash
# Sets VekDC up on a Debian 12 machine and runs it.
#
#   ./setup.sh run     install what is missing, build, then start the desktop
#                      application when a display is available, or else decode
#                      the bundled example into out/ with vekdc-cli
#   ./setup.sh test    install what is missing, build, run every test
#   ./setup.sh build   install what is missing and build only
#
# BUILD_DIR (default: build) and BUILD_TYPE (default: RelWithDebInfo) can be
# set in the environment; CMAKE_ARGS is passed on to cmake.
set -euo pipefail
cd "$(dirname "$0")"

mode="${1:-run}"
build_dir="${BUILD_DIR:-build}"
build_type="${BUILD_TYPE:-RelWithDebInfo}"

# What building and running needs.
packages=(
    g++ make cmake help2man
    libgtest-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    qt6-translations-l10n fonts-ipafont-gothic
    libxcb-xkb-dev
)
# What the tests need besides: a virtual display, the second Japanese font,
# clang's fuzzing runtime, the Windows cross compiler and wine, and the
# desktop-file checkers.
test_packages=(
    xvfb xauth
    fonts-noto-cjk
    clang libclang-rt-14-dev
    g++-mingw-w64-x86-64-posix wine64
    desktop-file-utils appstream
)

install_missing() {
    local missing=()
    for package in "${packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "These Debian packages are missing. Install them, then run this command again:"
        echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}"
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
        packages+=("${test_packages[@]}")
        install_missing
        build
        (cd "$build_dir" && ctest --output-on-failure -j"$(nproc)")
        ;;
    build)
        install_missing
        build
        ;;
    *)
        echo "usage: $0 [run|test|build]" >&2
        exit 64
        ;;
esac
