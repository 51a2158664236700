#!/usr/bin/env bash
# How the scripts install what they need, on pretend machines: apt-get, dpkg, dpkg-query,
# Wine and the i386 probe are stand-ins on PATH (package_tools_stand_in.sh), so nothing here
# needs the network or touches the real package system. Each case sets up a machine, runs the
# scripts' own functions or a script, and checks what they chose, what they said and what they
# left on the machine. Ends with "N passed, N failed"; exits non-zero when a case fails.
set -u
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
stand_in="$root/tests/scripts/package_tools_stand_in.sh"
work="$(mktemp -d "${TMPDIR:-/tmp}/strovanik-package-test.XXXXXX")"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() {
    local name="$1" what="$2"
    shift 2
    if "$@"; then
        return 0
    fi
    say_failure "$name" "$what"
}

say_failure() {
    [ "$case_ok" = no ] || failed=$((failed + 1))
    printf 'FAILED %s: %s\n' "$1" "$2"
    printf '  stderr:\n'
    sed 's/^/    /' "$machine/err"
    printf '  calls:\n'
    sed 's/^/    /' "$machine/state/calls" 2>/dev/null
    case_ok=no
}

# A new pretend machine in $machine: the stand-ins first on PATH, the given foreign
# architectures ($1) and installed packages ($2), and a home of its own for Wine's prefixes.
new_machine() {
    machine="$work/$((passed + failed))"
    mkdir -p "$machine/bin" "$machine/state" "$machine/home"
    local tool
    for tool in apt-get dpkg dpkg-query wine wineserver i386-probe id sudo sleep cmake \
        xvfb-run ctest i686-w64-mingw32-objdump; do
        ln -s "$stand_in" "$machine/bin/$tool"
    done
    # shellcheck disable=SC2086 # one word a line
    printf '%s\n' $1 >"$machine/state/foreign"
    # shellcheck disable=SC2086
    printf '%s\n' $2 >"$machine/state/installed"
    sed -i '/^$/d' "$machine/state/foreign" "$machine/state/installed"
    : >"$machine/state/calls"
}

# Runs "$@" on the machine, with the variables of $1 (NAME=VALUE words) set; its output goes
# to $machine/out and $machine/err, its exit status to $status.
on_machine() {
    local environment="$1"
    shift
    status=0
    (
        export PATH="$machine/bin:$PATH" STAND_IN_STATE="$machine/state" HOME="$machine/home"
        export XDG_CACHE_HOME="$machine/home/.cache" STROVANIK_I386_PROBE=i386-probe
        unset STROVANIK_WINDOWS_TESTS DISPLAY WAYLAND_DISPLAY
        local assignment
        for assignment in $environment; do
            export "${assignment//\~/ }"
        done
        "$@"
    ) >"$machine/out" 2>"$machine/err" || status=$?
}

# The lines of the machine's state file $1 that match $2, sorted, on one line ("-": none).
listed() {
    local list
    list="$(grep -- "$2" "$machine/state/$1" | sort | tr '\n' ' ')"
    list="${list% }"
    echo "${list:--}"
}

# Whether the Windows step said, in a line of its own, something that holds $1.
said() {
    grep '^== Windows: ' "$machine/err" | grep -qF -- "$1"
}

never_called() {
    ! grep -qF -- "$1" "$machine/state/calls"
}

finish_case() {
    if [ "$case_ok" = yes ]; then
        passed=$((passed + 1))
    fi
}

# ---- ensure_packages: the lists refreshed, retried, and the install tried anyway -------------

install_build_tools() {
    # shellcheck source=scripts/lib.sh
    source "$root/scripts/lib.sh"
    ensure_packages cmake ninja-build
}

# Variables set (~ for a space) | installed before | status | apt-get update calls | stderr says
ensure_cases='
|cmake ninja-build|0|0|-
STAND_IN_UPDATE_FAILURES=1|cmake|0|2|trying once more
STAND_IN_UPDATE_FAILURES=9|cmake|0|2|going on with the package lists that did load
STAND_IN_UPDATE_FAILURES=9 STAND_IN_NOT_FOUND=ninja-build|cmake|100|2|could not install ninja-build: they are not in any package list that loaded; the package lists could not all be refreshed
STAND_IN_UNINSTALLABLE=ninja-build||100|1|could not install cmake ninja-build: their dependencies cannot be met
STAND_IN_HALF_INSTALL=ninja-build||100|1|could not install cmake ninja-build: dpkg failed
'
while IFS='|' read -r environment before want_status want_updates says; do
    [ -n "$before$want_status" ] || continue
    name="ensure_packages [$environment] with [$before]"
    case_ok=yes
    new_machine "" "$before"
    on_machine "$environment" install_build_tools
    updates="$(grep -c '^apt-get .*update' "$machine/state/calls")"
    check "$name" "exit status $status, not $want_status" [ "$status" = "$want_status" ]
    check "$name" "$updates apt-get update calls, not $want_updates" [ "$updates" = "$want_updates" ]
    if [ "$says" != - ]; then
        check "$name" "no line: $says" grep -qF -- "$says" "$machine/err"
    fi
    if [ "$want_status" = 0 ]; then
        check "$name" "not all installed: $(listed installed .)" \
            grep -qx ninja-build "$machine/state/installed"
    fi
    finish_case
done <<<"$ensure_cases"

# ---- the Windows step's way: 32-bit Wine where it can be had, 64-bit Wine otherwise ----------

choose_and_install() {
    # shellcheck source=scripts/lib.sh
    source "$root/scripts/lib.sh"
    # shellcheck source=scripts/windows-lib.sh
    source "$root/scripts/windows-lib.sh"
    choose_windows_arch
    say "== Windows: $STROVANIK_WINDOWS_WHY"
    local status=0
    ensure_windows_tools "== Windows: " || status=$?
    echo "$STROVANIK_WINDOWS_ARCH"
    return "$status"
}

# Every case runs on a host whose i386 programs run (STAND_IN_I386_RUNS=yes) unless it says
# otherwise. The columns: variables set (~ for a space) | foreign architectures before |
# installed before | the way taken | status | foreign after | i386 packages after | a line
# on stderr that begins "== Windows: " and holds this | a call that must not be made
windows_cases='
STAND_IN_I386_RUNS=no|||win64|0|-|-|this host cannot execute i386 programs|dpkg --add-architecture
STROVANIK_WINDOWS_TESTS=64|||win64|0|-|-|STROVANIK_WINDOWS_TESTS=64|i386-probe
|||win32|0|i386|libwine:i386 wine32:i386|this host executes i386 programs: the Windows tests run as 32-bit programs|wine64
STAND_IN_UPDATE_FAILURES=1|||win32|0|i386|libwine:i386 wine32:i386|this host executes i386 programs: the Windows tests run as 32-bit programs|wine64
STAND_IN_UNINSTALLABLE=wine32:i386|||win64|0|-|-|but 32-bit Wine could not be installed (their dependencies cannot be met|-
STAND_IN_UPDATE_FAILURES=9 STAND_IN_UNINSTALLABLE=wine32:i386|||win64|0|-|-|the package lists could not all be refreshed, so some are old or missing): the Windows tests run as 64-bit programs|-
STAND_IN_HALF_INSTALL=wine32:i386|||win64|0|-|-|but 32-bit Wine could not be installed (dpkg failed|-
STAND_IN_WINE32_RUNS=no|||win64|0|-|-|but the 32-bit Wine just installed does not run a program|-
STAND_IN_WINE32_RUNS=no|i386|wine32:i386 libwine:i386|win64|0|i386|libwine:i386 wine32:i386|but its 32-bit Wine does not run a program|apt-get purge
STAND_IN_UNINSTALLABLE=wine32:i386|i386|libc6:i386|win64|0|i386|libc6:i386|but 32-bit Wine could not be installed|dpkg --remove-architecture
STAND_IN_NOT_FOUND=xvfb|||win32|1|-|-|-|dpkg --add-architecture
STAND_IN_UNINSTALLABLE=wine32:i386~wine64|||win64|1|-|-|but 32-bit Wine could not be installed|-
'
while IFS='|' read -r environment foreign_before before want_way want_status want_foreign \
    want_i386 says never; do
    [ -n "$want_way" ] || continue
    case "$environment" in
        *STAND_IN_I386_RUNS=*) ;;
        *) environment="STAND_IN_I386_RUNS=yes $environment" ;;
    esac
    name="Windows tools [$environment] on [$foreign_before] with [$before]"
    case_ok=yes
    new_machine "$foreign_before" "$before"
    on_machine "$environment" choose_and_install
    way="$(tail -n 1 "$machine/out")"
    check "$name" "exit status $status, not $want_status" [ "$status" = "$want_status" ]
    check "$name" "the $way way, not $want_way" [ "$way" = "$want_way" ]
    check "$name" "foreign architectures $(listed foreign .), not $want_foreign" \
        [ "$(listed foreign .)" = "$want_foreign" ]
    check "$name" "i386 packages $(listed installed ':i386$'), not $want_i386" \
        [ "$(listed installed ':i386$')" = "$want_i386" ]
    if [ "$says" != - ]; then
        check "$name" "no line: $says" said "$says"
    fi
    if [ "$never" != - ]; then
        check "$name" "called: $never" never_called "$never"
    fi
    if [ "$want_status" = 0 ] && [ "$want_way" = win64 ]; then
        check "$name" "64-bit Wine not installed: $(listed installed wine)" \
            [ "$(listed installed '^wine\(64\)\?$')" = "wine wine64" ]
    fi
    finish_case
done <<<"$windows_cases"

# ---- whole scripts, in a copy of the tree whose build tools are stand-ins too ---------------

copy_tree() {
    tree="$machine/tree"
    mkdir -p "$tree/cmake" "$tree/build/default/src/cli"
    cp -r "$root/scripts" "$tree/"
    cp "$root/cmake/wine-exec.sh" "$tree/cmake/"
    printf '#!/bin/sh\necho "report of $*"\n' >"$tree/build/default/src/cli/strovanik-report"
    chmod +x "$tree/build/default/src/cli/strovanik-report"
}

# The Windows step on an i386 host whose 32-bit Wine cannot be installed: it takes the 64-bit
# way, and then only the tests decide its exit status.
# Variables set | the step's status
step_cases='
|0
STAND_IN_CTEST_FAILS=yes|8
'
while IFS='|' read -r environment want_status; do
    [ -n "$want_status" ] || continue
    name="scripts/test-windows.sh [$environment] without 32-bit Wine"
    case_ok=yes
    new_machine "" ""
    copy_tree
    on_machine "STAND_IN_I386_RUNS=yes STAND_IN_UPDATE_FAILURES=9 STAND_IN_UNINSTALLABLE=wine32:i386 $environment" \
        "$tree/scripts/test-windows.sh"
    check "$name" "exit status $status, not $want_status" [ "$status" = "$want_status" ]
    check "$name" "no fallback line" grep -q '^== Windows: this host executes i386 programs, but' \
        "$machine/err"
    check "$name" "the tests did not run under 64-bit Wine" grep -q '^== Windows: tests under Wine (win64)' \
        "$machine/err"
    check "$name" "the i386 architecture left: $(listed foreign .)" [ "$(listed foreign .)" = - ]
    finish_case
done <<<"$step_cases"

# scripts/run.sh on a machine that lacks a package while a package list fails to load: it
# installs, builds and reports all the same.
name="scripts/run.sh with a package list that fails to load"
case_ok=yes
new_machine "" ""
copy_tree
on_machine "STAND_IN_UPDATE_FAILURES=9" "$tree/scripts/run.sh" film.avi
check "$name" "exit status $status, not 0" [ "$status" = 0 ]
check "$name" "printed: $(cat "$machine/out")" grep -qx "report of film.avi" "$machine/out"
finish_case

printf '%d passed, %d failed\n' "$passed" "$failed"
[ "$failed" -eq 0 ]
