# shellcheck shell=bash
# Shared by the project's scripts: where the source tree is, which Debian packages the build
# and the tests need, and how the missing ones are installed. Source it; it runs nothing.

STROVANIK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export STROVANIK_ROOT

# What building the default preset (the analysis, the command line, the window and the test
# programs) needs. The build makes its CP949 table from the C library's charmap (locales);
# the tests check it against the C library's own converter (libc6).
STROVANIK_BUILD_PACKAGES=(
    cmake ninja-build g++ libc6 libc-bin locales
    libgtest-dev googletest libgmock-dev
    libcli11-dev nlohmann-json3-dev
    qt6-base-dev libgl-dev qt6-qpa-plugins fonts-nanum fonts-nanum-coding
)

# What running the whole test suite needs beyond the build: the benchmark library (the
# tree configures its benchmarks only on request, but keeps them compiling), a virtual
# display, ffprobe for the sample checks, ImageMagick for screenshots, GNU parallel for
# the test of the recipe that spreads a list of files over several runs, and mencoder and the
# LAME program, whose AVI files the structure sample's and the repaired copy's tests make
# beside ffmpeg's.
STROVANIK_TEST_PACKAGES=(
    libbenchmark-dev xvfb xauth ffmpeg imagemagick parallel mencoder lame
)

# What the benchmark scripts of bench/ use besides the build: hyperfine, the peer they are
# compared with and /usr/bin/time (compare_peers.sh), ffmpeg for a longer sample, and a
# virtual display with a small X client of their own (window_start.sh).
STROVANIK_BENCH_PACKAGES=(
    hyperfine mediainfo time ffmpeg xvfb xauth gcc libx11-dev libxdamage-dev
)

say() {
    printf '%s\n' "$*" >&2
}

package_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'
}

# Runs a command as root: directly when this is root, through sudo otherwise.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        say "not root and no sudo: cannot run $*"
        return 1
    fi
}

# apt-get without questions. On a machine where several builds install at once, dpkg's lock is
# waited for rather than taken as a failure.
apt_get() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get -q -o DPkg::Lock::Timeout=600 "$@"
}

# Refreshes the package lists. apt-get update exits non-zero when any one index fails to load
# (a mirror caught in the middle of a sync, an unreachable source), although the other lists
# are then fresh; so a failure is tried once more, a few seconds later, and then only
# reported: what the caller installs may well be in the lists that did load.
refresh_package_lists() {
    if apt_get update >&2; then
        return 0
    fi
    say "apt-get update could not load every package list; trying once more"
    sleep 5
    if apt_get update >&2; then
        return 0
    fi
    say "apt-get update failed again: going on with the package lists that did load"
    return 1
}

# What apt-get's messages say went wrong, in the order the causes are looked for: the first
# pattern found in its output names the likely cause.
STROVANIK_APT_CAUSES=(
    'Could not get lock|Unable to acquire the dpkg frontend lock|another package manager holds the dpkg lock'
    'Unable to locate package|has no installation candidate|is not available|they are not in any package list that loaded'
    'unmet dependencies|held broken packages|generated breaks|their dependencies cannot be met from the lists that loaded (versions out of step between architectures or suites)'
    'Failed to fetch|Temporary failure resolving|could not be downloaded (no network, or the mirror is unreachable)'
    'returned an error code|dpkg was interrupted|dpkg failed while unpacking or configuring them'
)

# Sets STROVANIK_PACKAGES_TROUBLE to the likely cause of a failed install, from apt-get's
# output in the file $1 and whether the lists were refreshed ($2: yes or no).
explain_failed_install() {
    local output="$1" refreshed="$2" row patterns cause="apt-get install failed"
    for row in "${STROVANIK_APT_CAUSES[@]}"; do
        patterns="${row%|*}"
        if grep -qE -- "$patterns" "$output"; then
            cause="${row##*|}"
            break
        fi
    done
    if [ "$refreshed" = no ]; then
        cause="$cause; the package lists could not all be refreshed, so some are old or missing"
    fi
    STROVANIK_PACKAGES_TROUBLE="$cause"
}

# Installs, in one apt-get call, those of the named packages that are missing; the package
# lists are refreshed first only when something is missing, so a ready machine is left alone.
# A refresh that fails for some list does not stop the install; only a failed install is an
# error, said on standard error with the packages and the likely cause, which is also left in
# STROVANIK_PACKAGES_TROUBLE.
ensure_packages() {
    local missing=() package
    STROVANIK_PACKAGES_TROUBLE=
    for package in "$@"; do
        package_installed "$package" || missing+=("$package")
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    if [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null; then
        STROVANIK_PACKAGES_TROUBLE="not root, and there is no sudo"
        say "missing packages: ${missing[*]}; run this as root to install them"
        return 1
    fi
    say "installing: ${missing[*]}"
    local refreshed=yes output status=0
    refresh_package_lists || refreshed=no
    output="$(mktemp "${TMPDIR:-/tmp}/strovanik-apt.XXXXXX")"
    # apt-get's output is shown as it comes and kept for the explanation; its exit status is
    # noted inside the pipeline, whose own status is tee's.
    {
        apt_get install -y --no-install-recommends "${missing[@]}" 2>&1 ||
            echo "$?" >"$output.status"
    } | tee "$output" >&2
    if [ -s "$output.status" ]; then
        status="$(cat "$output.status")"
        explain_failed_install "$output" "$refreshed"
        say "could not install ${missing[*]}: $STROVANIK_PACKAGES_TROUBLE"
    fi
    rm -f "$output" "$output.status"
    return "$status"
}

# Configures and builds one preset of CMakePresets.json.
build_preset() {
    local preset="$1"
    (
        cd "$STROVANIK_ROOT"
        cmake --preset "$preset"
        cmake --build --preset "$preset"
    )
}
