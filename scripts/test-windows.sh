#!/usr/bin/env bash
# The Windows program, built and tested on Linux: cross-compiles the program and the whole
# test suite with mingw-w64 and runs the tests as Windows programs under 32-bit Wine, the
# window tests on a virtual display (Xvfb). Installs what it needs with apt-get when it is
# missing. Ends with ctest's summary line; exits non-zero when a test fails.
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# shellcheck source=scripts/windows-lib.sh
source "$STROVANIK_ROOT/scripts/windows-lib.sh"
cd "$STROVANIK_ROOT"

ensure_windows_tools
say "== Windows: cross build in ${STROVANIK_WINDOWS_BUILD#"$STROVANIK_ROOT"/}"
# A Wine session of another display would stand in the way of the one the tests start.
stop_wine
trap stop_wine EXIT
build_windows

# Tests known to fail as Windows programs are left out, by name, and said so.
known=()
while IFS= read -r line; do
    case "$line" in '' | '#'*) ;; *) known+=("^${line}\$") ;; esac
done <"$STROVANIK_ROOT/scripts/windows-known-failures.txt"
exclude=()
if [ "${#known[@]}" -gt 0 ]; then
    exclude=(-E "$(IFS='|'; echo "${known[*]}")")
    say "== Windows: ${#known[@]} tests known to fail on Windows are left out (scripts/windows-known-failures.txt)"
fi

say "== Windows: tests under Wine"
xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" \
    ctest --test-dir "$STROVANIK_WINDOWS_BUILD" --output-on-failure -j2 --timeout 300 "${exclude[@]}"
