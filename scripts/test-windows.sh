#!/usr/bin/env bash
# The Windows programs, built and tested on Linux: cross-compiles the programs and the whole
# test suite with mingw-w64 and runs the tests as Windows programs under Wine, the window tests
# on a virtual display (Xvfb). Where the host executes i386 programs, the suite is the 32-bit
# one under 32-bit Wine; elsewhere (or with STROVANIK_WINDOWS_TESTS=64, or where 32-bit Wine
# cannot be installed or does not run) the 32-bit programs are built and checked but not run,
# and the suite is built as 64-bit programs and runs under 64-bit Wine. One line on standard
# error says which, and why. Installs what it needs with apt-get when it is missing. Ends with
# ctest's summary line; exits non-zero when a test fails.
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# shellcheck source=scripts/windows-lib.sh
source "$STROVANIK_ROOT/scripts/windows-lib.sh"
cd "$STROVANIK_ROOT"

choose_windows_arch
say "== Windows: $STROVANIK_WINDOWS_WHY"
ensure_windows_tools "== Windows: "
# A Wine session of another display would stand in the way of the one the tests start.
stop_wine
trap stop_wine EXIT

if [ "$STROVANIK_WINDOWS_ARCH" = win64 ]; then
    say "== Windows: the 32-bit programs in ${STROVANIK_WINDOWS_BUILD#"$STROVANIK_ROOT"/}"
    build_windows win32 strovanik strovanik-report
    for program in src/shell/win32/strovanik.exe src/cli/strovanik-report.exe; do
        # What is shipped: a 32-bit Intel program that needs no DLL beyond Windows' own.
        format="$(i686-w64-mingw32-objdump -f "$STROVANIK_WINDOWS_BUILD/$program")"
        if ! grep -q 'file format pei-i386' <<<"$format"; then
            say "$program is not a 32-bit Windows program:"
            say "$format"
            exit 1
        fi
    done
fi

build="$(windows_build_folder "$STROVANIK_WINDOWS_ARCH")"
say "== Windows: cross build in ${build#"$STROVANIK_ROOT"/}"
build_windows "$STROVANIK_WINDOWS_ARCH"

# Tests that cannot pass as Windows programs are left out, by name, and said so. Every other
# test runs in either word size: none of them depends on it.
known=()
while IFS= read -r line; do
    case "$line" in '' | '#'*) ;; *) known+=("^${line}\$") ;; esac
done <"$STROVANIK_ROOT/scripts/windows-known-failures.txt"
exclude=()
if [ "${#known[@]}" -gt 0 ]; then
    exclude=(-E "$(IFS='|'; echo "${known[*]}")")
    say "== Windows: ${#known[@]} tests that cannot pass on Windows are left out (scripts/windows-known-failures.txt)"
fi

say "== Windows: tests under Wine ($STROVANIK_WINDOWS_ARCH)"
# Now and then Wine fails to start a program at all (no output, gone in a twentieth of a
# second), more often while two start at once; such a test runs once more. A test that
# fails twice fails the run.
xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" \
    ctest --test-dir "$build" --output-on-failure -j2 --timeout 300 --repeat until-pass:2 \
    "${exclude[@]}"
