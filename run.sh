#!/usr/bin/env bash
# Builds what is missing, then runs the headless application runner with the given arguments.
set -euo pipefail
cd "$(dirname "$0")"
./build.sh >&2
exec build/release/tools/kavro/kavro "$@"
