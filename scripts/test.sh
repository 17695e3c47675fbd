#!/usr/bin/env bash
# Sets up, builds with warnings as errors and runs the whole test suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export CMAKE_EXTRA_ARGS="-DVEXLO_WERROR=ON ${CMAKE_EXTRA_ARGS:-}"
bash "$root/scripts/build.sh"
cd "${BUILD_DIR:-$root/build}"
# Nothing in the tests may stop for a message box.
export VEXLO_NO_MESSAGE_BOX=1
ctest --output-on-failure -j2
