#!/usr/bin/env bash
# readme_examples_test.sh README VEKDC_CLI EXAMPLES_DIR
# Runs each shell block of README that follows the line
#   <!-- example: run by ctest -->
# as a newcomer would, from the top of a fresh copy of the repository's
# bundled files after command 1 (./setup.sh run without a display) has
# decoded the bundled example into out/. Every block must succeed, and every
# comment line of the form "#   TEXT" (what the block prints) must be a line
# of its output. In TEXT, "<...>" stands for what varies from run to run (a
# time); only the part before it is compared.
set -euo pipefail

readme="${1:?usage: readme_examples_test.sh README VEKDC_CLI EXAMPLES_DIR}"
cli="${2:?}"
examples="${3:?}"
marker='<!-- example: run by ctest -->'

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
repo="$work/repo"
mkdir -p "$repo/build"
cp -r "$examples" "$repo/examples"
ln -s "$cli" "$repo/build/vekdc-cli"
unset VEKDC_DRIVE_D

# What command 1 leaves behind: setup.sh's decode_example.
(cd "$repo" && mkdir -p out &&
    build/vekdc-cli decode -k examples/example.key -o out \
        examples/picture.vek examples/notes.vek examples/letter.vek >/dev/null)

# Cut the marked blocks out of README into block1.sh, block2.sh, ...
awk -v marker="$marker" -v dir="$work" '
    $0 == marker { armed = 1; next }
    armed && /^```sh$/ { inside = 1; armed = 0; n++; next }
    inside && /^```$/ { inside = 0; next }
    inside { print > (dir "/block" n ".sh") }
' "$readme"

status=0
blocks=0
for block in "$work"/block*.sh; do
    [ -e "$block" ] || break
    blocks=$((blocks + 1))
    name="README example $blocks ($(head -n 1 "$block"))"
    if ! (cd "$repo" && bash -e "$block") >"$work/out" 2>"$work/err"; then
        echo "FAIL: $name exits with an error:"
        cat "$work/err"
        status=1
        continue
    fi
    while IFS= read -r shown; do
        prefix="${shown%%<*}"
        if [ "$prefix" != "$shown" ]; then
            grep -qF -- "$prefix" "$work/out" || missing=1
        else
            grep -qxF -- "$shown" "$work/out" || missing=1
        fi
        if [ "${missing:-0}" = 1 ]; then
            echo "FAIL: $name does not print: $shown"
            echo "  it printed:"
            sed 's/^/    /' "$work/out"
            status=1
            missing=0
        fi
    done < <(sed -n 's/^#   //p' "$block")
done

if [ "$blocks" -eq 0 ]; then
    echo "FAIL: README has no block marked $marker"
    exit 1
fi
echo "$blocks README examples run"
exit $status
