#!/usr/bin/env bash
# Builds Quilmar and runs the demo client. Installs what a fresh Debian machine lacks first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target quilmar_demo
build/native/examples/quilmar_demo
