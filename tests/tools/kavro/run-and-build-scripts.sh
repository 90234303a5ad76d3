#!/usr/bin/env bash
# ./run.sh, the quiet ./build.sh under it and the copies beside the binary, as a person meets them:
# started through a link, with standard output closed, and stopped by a signal in the middle of a
# build. (Job control is on: a job started in the background gets a process group of its own and
# keeps Ctrl-C's signal, as a command at a terminal does.) They run in a tree of their own whose ninja and runner stand in for the real ones, so that
# the moment of the signal is the test's.
#   run-and-build-scripts.sh SOURCE_DIR WORK_DIR
set -uo pipefail -m
source_dir=$1
work=$2
rm -rf "$work"
mkdir -p "$work/repo/build/release/tools/kavro" "$work/bin" "$work/tmp" "$work/links"
cp "$source_dir/run.sh" "$source_dir/build.sh" "$work/repo/"
: >"$work/repo/build/release/build.ninja"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The runner says how it was called, into a file (its standard output may be closed).
cat >"$work/repo/build/release/tools/kavro/kavro" <<'EOF'
#!/usr/bin/env bash
echo "kavro $*" >"$KAVRO_CALLED"
EOF
# ninja: nothing to do, or a build that compiles until a signal ends it.
cat >"$work/bin/ninja" <<'EOF'
#!/usr/bin/env bash
if [ "${FAKE_NINJA:-}" = slow ]; then
  echo "[1/2] Building CXX object tools/kavro/main.cpp.o"
  : >"$FAKE_NINJA_STARTED"
  exec sleep 600
fi
echo "ninja: no work to do."
EOF
chmod +x "$work/repo/run.sh" "$work/repo/build.sh" "$work/repo/build/release/tools/kavro/kavro" "$work/bin/ninja"
export PATH="$work/bin:$PATH" TMPDIR="$work/tmp" KAVRO_CALLED="$work/called"

# A link to run.sh, from another folder, runs the runner of the tree the link points into.
ln -s "$work/repo/run.sh" "$work/links/kv"
rm -f "$work/called"
(cd "$work/links" && ./kv --version) 2>"$work/err"
status=$?
[ "$status" = 0 ] || fail "through a link: exit $status: $(cat "$work/err")"
[ "$(cat "$work/called" 2>/dev/null)" = "kavro --version" ] || fail "through a link: the runner was not called"

# Standard output closed: a built tree says nothing and builds nothing again.
rm -f "$work/called"
"$work/repo/run.sh" --help >&- 2>"$work/err"
status=$?
[ "$status" = 0 ] || fail "standard output closed: exit $status: $(cat "$work/err")"
[ -s "$work/err" ] && fail "standard output closed: said: $(cat "$work/err")"
[ "$(cat "$work/called" 2>/dev/null)" = "kavro --help" ] || fail "standard output closed: the runner was not called"

# Stopped by a signal to its whole group (a Ctrl-C, a terminal closed) while it builds: the quiet
# build's files in the temporary folder go with it.
for signal in INT TERM HUP; do
  rm -f "$work/started" "$work/called"
  FAKE_NINJA=slow FAKE_NINJA_STARTED="$work/started" "$work/repo/run.sh" show 2>"$work/err" &
  leader=$!
  for _ in $(seq 1 6000); do
    [ -e "$work/started" ] && break
    sleep 0.01
  done
  [ -e "$work/started" ] || fail "$signal: the build did not start"
  kill -"$signal" -- -"$leader"
  wait "$leader"
  # Every process of the group has ended.
  for _ in $(seq 1 6000); do
    kill -0 -- -"$leader" 2>/dev/null || break
    sleep 0.01
  done
  [ -e "$work/called" ] && fail "$signal: the runner started after the build was stopped"
  left=$(ls -A "$work/tmp")
  [ -z "$left" ] || fail "$signal: left in the temporary folder: $left"
  rm -rf "${work:?}/tmp/"*
done

# A copy beside the binary killed before its rename leaves a file named after its writer: the next
# copy removes it once that writer is gone, and leaves one whose writer still runs.
mkdir -p "$work/from/Images" "$work/to/Images"
echo new >"$work/from/Images/a.png"
echo old >"$work/to/Images/a.png"
sleep 600 &
alive=$!
: >"$work/to/Images/a.png.new-999999999-abcdefghij"
: >"$work/to/Images/b.png.new-abcdefghij"
: >"$work/to/Images/c.png.new-$alive-abcdefghij"
cmake -DFROM="$work/from" -DTO="$work/to" -P "$source_dir/cmake/CopyIfChanged.cmake" || fail "the copy failed"
left=$(cd "$work/to" && find . -type f | sort | tr '\n' ' ')
[ "$left" = "./Images/a.png ./Images/c.png.new-$alive-abcdefghij " ] || fail "after the copy: $left"
[ "$(cat "$work/to/Images/a.png")" = new ] || fail "the changed file was not copied"
kill "$alive"
wait "$alive" 2>/dev/null
cmake -DFROM="$work/from" -DTO="$work/to" -P "$source_dir/cmake/CopyIfChanged.cmake" || fail "the copy failed"
left=$(cd "$work/to" && find . -type f | sort | tr '\n' ' ')
[ "$left" = "./Images/a.png " ] || fail "after its writer ended: $left"

[ "$failures" = 0 ] && echo "all held"
exit $((failures > 0))
