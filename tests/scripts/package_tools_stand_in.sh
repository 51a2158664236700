#!/usr/bin/env bash
# Stands in for the machine's package tools, Wine and the i386 probe in the scripts' tests, by
# the name it is called under (the test links it as apt-get, dpkg, dpkg-query, wine, ...). The
# machine it pretends to be lives in files of $STAND_IN_STATE:
#
#   installed   one installed package a line, name or name:arch (amd64 when no arch is given)
#   foreign     the foreign architectures, one a line
#   calls       every call, one a line, for the test to read
#
# and how it behaves is set by variables:
#
#   STAND_IN_I386_RUNS=yes|no         whether the probe's i386 program runs (exit 42) or not
#   STAND_IN_UPDATE_FAILURES=N        this many apt-get update calls fail, then they succeed
#   STAND_IN_UNINSTALLABLE="P ..."    these packages cannot be installed (unmet dependencies)
#   STAND_IN_NOT_FOUND="P ..."        these packages are in no package list
#   STAND_IN_HALF_INSTALL=P           installing P unpacks libwine:i386, then dpkg fails
#   STAND_IN_WINE32_RUNS=yes|no       whether 32-bit Wine, when installed, runs a program
#   STAND_IN_CTEST_FAILS=yes|no       whether the tests fail
#
# It never calls the real tool of its name.
set -u
state="${STAND_IN_STATE:?}"
name="${0##*/}"
printf '%s %s\n' "$name" "$*" >>"$state/calls"

is_installed() {
    local package="$1"
    [ "${package%:amd64}" = "$package" ] || package="${package%:amd64}"
    grep -qxF -- "$package" "$state/installed"
}

contains() {
    local word
    for word in $1; do
        [ "$word" = "$2" ] && return 0
    done
    return 1
}

apt_get() {
    local verb="" packages=()
    while [ "$#" -gt 0 ]; do
        case "$1" in
            -o) shift ;;
            -*) ;;
            *) if [ -z "$verb" ]; then verb="$1"; else packages+=("$1"); fi ;;
        esac
        shift
    done
    case "$verb" in
        update)
            local done_updates
            done_updates="$(grep -c '^apt-get .*update' "$state/calls")"
            if [ "$done_updates" -le "${STAND_IN_UPDATE_FAILURES:-0}" ]; then
                echo "Err:6 http://mirror bookworm-security/main i386 Packages"
                echo "  File has unexpected size (374820 != 376004). Mirror sync in progress?"
                echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
                exit 100
            fi
            ;;
        install)
            local package
            for package in "${packages[@]}"; do
                if contains "${STAND_IN_NOT_FOUND:-}" "$package" ||
                    { [ "${package%:i386}" != "$package" ] && ! grep -qx i386 "$state/foreign"; }; then
                    echo "E: Unable to locate package $package" >&2
                    exit 100
                fi
                if contains "${STAND_IN_UNINSTALLABLE:-}" "$package"; then
                    echo "The following packages have unmet dependencies:"
                    echo " $package : Depends: libwine:i386 but it is not going to be installed"
                    echo "E: Unable to correct problems, you have held broken packages." >&2
                    exit 100
                fi
            done
            for package in "${packages[@]}"; do
                if [ "$package" = "${STAND_IN_HALF_INSTALL:-}" ]; then
                    echo "libwine:i386" >>"$state/installed"
                    echo "E: Sub-process /usr/bin/dpkg returned an error code (1)" >&2
                    exit 100
                fi
                # 32-bit Wine brings its i386 library along, as the real one brings many.
                [ "$package" != wine32:i386 ] || echo "libwine:i386" >>"$state/installed"
                echo "$package" >>"$state/installed"
            done
            ;;
        purge | remove)
            local package kept
            kept="$(cat "$state/installed")"
            for package in "${packages[@]}"; do
                kept="$(grep -vxF -- "$package" <<<"$kept")"
                # The wine package needs 32- or 64-bit Wine: it goes when the last one does.
                if [ "$package" = wine32:i386 ] && ! grep -qx wine64 <<<"$kept"; then
                    kept="$(grep -vx wine <<<"$kept")"
                fi
            done
            printf '%s\n' "$kept" | sed '/^$/d' >"$state/installed"
            ;;
        *) echo "apt-get stand-in: no verb $verb" >&2; exit 100 ;;
    esac
}

dpkg() {
    case "${1:-}" in
        --print-foreign-architectures) cat "$state/foreign" ;;
        --add-architecture) grep -qxF -- "$2" "$state/foreign" || echo "$2" >>"$state/foreign" ;;
        --remove-architecture)
            if grep -q ":$2\$" "$state/installed"; then
                echo "dpkg: error: cannot remove architecture '$2' currently in use by the database" >&2
                exit 2
            fi
            local kept
            kept="$(grep -vxF -- "$2" "$state/foreign")"
            printf '%s\n' "$kept" | sed '/^$/d' >"$state/foreign"
            ;;
        *) echo "dpkg stand-in: no option $1" >&2; exit 2 ;;
    esac
}

# dpkg-query -W -f=FORMAT [PACKAGE]: the status of one package, or every package with its
# architecture and status word.
dpkg_query() {
    local package="${3:-}" line
    if [ -n "$package" ]; then
        is_installed "$package" || { echo "dpkg-query: no packages found matching $package" >&2; exit 1; }
        printf 'install ok installed'
        return
    fi
    while IFS= read -r line; do
        [ "${line%:*}" != "$line" ] || line="$line:amd64"
        printf '%s installed\n' "$line"
    done <"$state/installed"
}

# Wine as wine-exec.sh calls it: wineboot, reg, and cmd /c echo WORD.
wine() {
    if ! is_installed wine32:i386 || [ "${STAND_IN_WINE32_RUNS:-yes}" != yes ]; then
        echo "wine: could not load ntdll.so" >&2
        exit 1
    fi
    if [ "${1:-}" = cmd ]; then
        printf '%s\r\n' "${*:4}"
    fi
}

case "$name" in
    apt-get) apt_get "$@" ;;
    dpkg) dpkg "$@" ;;
    dpkg-query) dpkg_query "$@" ;;
    wine) wine "$@" ;;
    i386-probe) [ "${STAND_IN_I386_RUNS:-no}" = yes ] && exit 42 || exit 126 ;;
    # Root, so that no real sudo is ever asked for.
    id) echo 0 ;;
    sudo) echo "sudo stand-in: the scripts ran as root here" >&2; exit 1 ;;
    # Called by the scripts on the way, without anything to check: nothing to do.
    wineserver | sleep | cmake) ;;
    i686-w64-mingw32-objdump) echo "file format pei-i386" ;;
    xvfb-run)
        while [ "${1#-}" != "$1" ]; do shift; done
        exec "$@"
        ;;
    ctest)
        if [ "${STAND_IN_CTEST_FAILS:-no}" = yes ]; then
            echo "0% tests passed, 1 tests failed out of 1"
            exit 8
        fi
        echo "100% tests passed, 0 tests failed out of 1"
        ;;
    *) echo "stand-in: nothing stands in for $name" >&2; exit 127 ;;
esac
