#!/usr/bin/env bash
# readme_examples_selftest.sh RUNNER VEKDC_CLI EXAMPLES_DIR
# Proves that readme_examples_test.sh (RUNNER) tells a README whose examples
# work from one whose examples do not: each row is a small README and the
# verdict the runner must give, with a line its output must hold.
set -uo pipefail

runner="${1:?usage: readme_examples_selftest.sh RUNNER VEKDC_CLI EXAMPLES_DIR}"
cli="${2:?}"
examples="${3:?}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

marker='<!-- example: run by ctest -->'
decode='build/vekdc-cli decode -k examples/example.key -o out/t examples/notes.vek'

# name | README body (\n for new lines) | exit status | a line of the output
rows=(
    "works|$marker\n\`\`\`sh\nrm -rf out/t && mkdir -p out/t\n$decode\n#   examples/notes.vek -> out/t/notes.txt\n\`\`\`|0|1 README examples run"
    "varying part|$marker\n\`\`\`sh\nrm -rf out/t && mkdir -p out/t\n$decode\n#   examples/notes.vek -> out/t/<name>\n\`\`\`|0|1 README examples run"
    "missing file|$marker\n\`\`\`sh\nbuild/vekdc-cli encode -k examples/example.key photo.jpg\n\`\`\`|1|FAIL: README example 1 (build/vekdc-cli encode -k examples/example.key photo.jpg) exits with an error:"
    "wrong name shown|$marker\n\`\`\`sh\nrm -rf out/t && mkdir -p out/t\n$decode\n#   examples/notes.vek -> out/t/notes.doc\n\`\`\`|1|FAIL: README example 1 (rm -rf out/t && mkdir -p out/t) does not print: examples/notes.vek -> out/t/notes.doc"
    "output already there|$marker\n\`\`\`sh\nbuild/vekdc-cli decode -k examples/example.key -o out examples/notes.vek\n#   examples/notes.vek -> out/notes.txt\n\`\`\`|1|FAIL: README example 1 (build/vekdc-cli decode -k examples/example.key -o out examples/notes.vek) does not print: examples/notes.vek -> out/notes.txt"
    "unmarked block only|\`\`\`sh\nfalse\n\`\`\`|1|FAIL: README has no block marked $marker"
)

status=0
for row in "${rows[@]}"; do
    IFS='|' read -r name body want_status want_line <<<"$row"
    printf '%b\n' "$body" >"$work/README.md"
    "$runner" "$work/README.md" "$cli" "$examples" >"$work/out" 2>&1
    got_status=$?
    if [ "$got_status" -ne "$want_status" ]; then
        echo "FAIL: $name: exit status $got_status, expected $want_status"
        sed 's/^/    /' "$work/out"
        status=1
    elif ! grep -qxF -- "$want_line" "$work/out"; then
        echo "FAIL: $name: output lacks: $want_line"
        sed 's/^/    /' "$work/out"
        status=1
    fi
done
exit $status
