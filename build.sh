#!/usr/bin/env bash
# Release build into build/release.
#   ./build.sh            GCC, into build/release
#   ./build.sh --werror   the same with warnings as errors (CI)
#   ./build.sh --clang    clang, warnings as errors, into build/release-clang (CI)
#   ./build.sh --quiet    (run.sh) says nothing on a built tree, one line when it builds, and
#                         the build's output only when it fails
# Builds of one folder take turns (a lock in the folder), saying so when one waits for another.
set -euo pipefail
cd "$(dirname "$0")"
compiler=gcc
werror=OFF
quiet=0
for arg in "$@"; do
  case "$arg" in
    --clang) compiler=clang; werror=ON ;;
    --werror) werror=ON ;;
    --quiet) quiet=1 ;;
    *) echo "usage: ./build.sh [--werror] [--clang] [--quiet]" >&2; exit 2 ;;
  esac
done
dir=build/release
[ "$compiler" = clang ] && dir=build/release-clang

# One build of a tree at a time: two in one folder compile and link the same files over each other.
# The lock is held until this script ends (the runner itself starts after it, unlocked); the
# script's own second pass below already holds it.
if [ "${KAVRO_BUILD_LOCKED:-}" != "$dir" ]; then
  mkdir -p "$dir"
  exec 9>"$dir/.build.lock"
  if ! flock -n 9; then
    # Another build's no-op check takes a moment: say so only when the wait is a real one.
    if ! flock -w 2 9; then
      echo "waiting for another build of $dir to end ..." >&2
      flock 9
    fi
  fi
  export KAVRO_BUILD_LOCKED="$dir"
fi

if [ "$quiet" = 1 ]; then
  # The quiet build's own files go with it however it ends: a signal ends it through its exit.
  log=""
  trap 'if [ -n "$log" ]; then rm -f "$log" "$log.said"; fi' EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  trap 'exit 129' HUP
  # A configured tree rebuilds itself (ninja re-runs cmake when a CMakeLists.txt changed). A word
  # once something compiles or links; the files copied beside the binary on every build are none.
  if [ -f "$dir/build.ninja" ] && command -v ninja >/dev/null; then
    log=$(mktemp)
    said="$log.said"
    # The build's own status decides, not the filter's: with standard output closed the filter
    # (which writes nothing there) must not pass for a failed build.
    set +e +o pipefail
    ninja -C "$dir" 2>&1 | tee "$log" |
      awk -v said="$said" '/Building|Linking|Re-running CMake/ && !done { print "building '"$dir"' ..." > "/dev/stderr"; done = 1; printf "" > said }' >/dev/null
    built=${PIPESTATUS[0]}
    set -e -o pipefail
    if [ "$built" = 0 ]; then
      rm -f "$said"
      exit 0
    fi
    # A failure may be a package the tree newly needs: the whole build once more, then the word.
    [ -f "$said" ] || echo "building $dir ..." >&2
    rm -f "$said"
    if ! "$0" >"$log" 2>&1; then
      cat "$log" >&2
      exit 1
    fi
    exit 0
  fi
  echo "building $dir for the first time (several minutes) ..." >&2
  log=$(mktemp)
  if ! "$0" >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
  fi
  exit 0
fi

tools/deps.sh
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
if [ "$compiler" = clang ]; then
  CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVRO_TESTS=OFF \
    -DKAVRO_WERROR=ON "${launcher[@]}"
else
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVRO_TESTS=OFF -DKAVRO_WERROR="$werror" \
    "${launcher[@]}"
fi
cmake --build "$dir"
