#!/usr/bin/env bash
# Runs the headless application runner with the given arguments, building it first when something
# changed (quietly: one line when it builds, the build's output only when it fails). Paths in the
# arguments are taken from the caller's folder. A link to this script works as the script itself.
set -euo pipefail
repo="$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")" && pwd)"
"$repo/build.sh" --quiet
exec "$repo/build/release/tools/kavro/kavro" "$@"
