#!/usr/bin/env bash
# Builds the project and runs every test: first the default build, then the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer. Installs what it needs with apt-get when it
# is missing (a fresh Debian 12 machine, as root). Exits non-zero on the first failure.
#
#   STROVANIK_TEST_PRESETS="default"   runs only the presets named (default: "default asan")
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$STROVANIK_ROOT"

install_packages() {
    ensure_packages "${STROVANIK_BUILD_PACKAGES[@]}" "${STROVANIK_TEST_PACKAGES[@]}"
}

# The window's tests draw off screen: no display is needed, and none is touched if present.
export QT_QPA_PLATFORM=offscreen

build_and_test() {
    local preset="$1"
    say "== build and test: $preset"
    build_preset "$preset"
    # A test that hangs must not eat the whole CI run.
    ctest --preset "$preset" --timeout 600
}

sanitizer_environment() {
    # Stop at the first finding, so that a fault cannot hide behind a passing test.
    export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:strict_string_checks=1:check_initialization_order=1:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    local suppressions="$STROVANIK_ROOT/scripts/lsan.supp"
    if [ -f "$suppressions" ]; then
        export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0"
    fi
}

# Further checks: each one is a script of its own, run after the builds when it exists.
# Add new ones to this list.
run_extra_steps() {
    local step
    for step in \
        scripts/test-windows.sh \
        scripts/test-fuzz.sh; do
        if [ -x "$step" ]; then
            say "== $step"
            "$step"
        fi
    done
}

main() {
    install_packages
    local preset
    for preset in ${STROVANIK_TEST_PRESETS:-default asan}; do
        if [ "$preset" = asan ]; then
            (
                sanitizer_environment
                build_and_test asan
            )
        else
            build_and_test "$preset"
        fi
    done
    # ---- extra steps (Windows build under Wine, fuzz-regression replays, ...) ----
    run_extra_steps
    say "== all tests passed"
}

main "$@"
