#!/usr/bin/env bash
# Sets up, builds with warnings as errors and runs the whole test suite,
# the browser build's tests in headless Chromium and the Windows build's
# under Wine included; then builds the tests again with AddressSanitizer
# and UndefinedBehaviorSanitizer and runs them once more. The builds are
# the presets "test" (into build/, or BUILD_DIR) and "sanitize" (into
# build-sanitize/, or SANITIZE_BUILD_DIR) of CMakePresets.json;
# CMAKE_EXTRA_ARGS goes to the first, WEB_CMAKE_ARGS to the browser build,
# WINDOWS_CMAKE_ARGS to the Windows build (into build-windows/, or
# WINDOWS_BUILD_DIR, which keeps the libraries it builds for Windows between
# runs).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/presets.sh"
no_arguments "usage: scripts/test.sh (no arguments; into build/ and build-sanitize/, or BUILD_DIR and SANITIZE_BUILD_DIR)" "$@"
build=${BUILD_DIR:-$root/build}
site=${WEB_SITE_DIR:-$root/build-web}
windows=${WINDOWS_BUILD_DIR:-$root/build-windows}
bash "$root/scripts/setup.sh"
configure_preset test "$build" -DVEXLO_WEB_SITE="$site" -DVEXLO_WINDOWS_BUILD="$windows" ${CMAKE_EXTRA_ARGS:-}
build_folder "$build"

echo "== the browser build"
bash "$root/scripts/setup-web.sh" --tests
WEB_SITE_DIR=$site WEB_CMAKE_ARGS="-DVEXLO_WERROR=ON ${WEB_CMAKE_ARGS:-}" bash "$root/scripts/web.sh" --zip
(cd "$root/tests/web" && npm ci --no-audit --no-fund --loglevel=error)

echo "== the Windows build"
bash "$root/scripts/setup-windows.sh" --tests
WINDOWS_BUILD_DIR=$windows WINDOWS_CMAKE_ARGS="-DVEXLO_WERROR=ON ${WINDOWS_CMAKE_ARGS:-}" bash "$root/scripts/windows.sh"

# Nothing in the tests may stop for a message box.
export VEXLO_NO_MESSAGE_BOX=1
# The soak runs once, in the sanitized build below.
(cd "$build" && ctest --output-on-failure -j2 -LE soak)

echo "== the tests again, under AddressSanitizer and UndefinedBehaviorSanitizer"
sanitized=${SANITIZE_BUILD_DIR:-$root/build-sanitize}
configure_preset sanitize "$sanitized"
build_folder "$sanitized"
# A small quarantine, so that the soak measures the game's memory, not the
# sanitizer's.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:quarantine_size_mb=16
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The window and timing tests run once, above; so does the format check,
# which builds nothing.
(cd "$sanitized" && ctest --output-on-failure -j2 -LE "window|timing|format")
# The soak's figures.
grep -h "^soak:" "$sanitized/Testing/Temporary/LastTest.log" || true
