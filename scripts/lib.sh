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
# display, ffprobe for the sample checks, ImageMagick for screenshots, and GNU parallel for
# the test of the recipe that spreads a list of files over several runs.
STROVANIK_TEST_PACKAGES=(
    libbenchmark-dev xvfb xauth ffmpeg imagemagick parallel
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

# Installs, in one apt-get call, those of the named packages that are missing; the package
# lists are refreshed first only when something is missing, so a ready machine is left alone.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        package_installed "$package" || missing+=("$package")
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null; then
            sudo=(sudo)
        else
            say "missing packages: ${missing[*]}; run this as root to install them"
            return 1
        fi
    fi
    say "installing: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q >&2
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
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
