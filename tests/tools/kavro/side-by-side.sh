#!/usr/bin/env bash
# Runs side by side give what one run alone gives.
#   side-by-side.sh RUN WORK [COPIES [FOLDER]]
# RUN is ./run.sh (which checks the build before every run) or a built kavro. Each kind of run (a
# tour, one-shot searches and a job, --help, a script) runs alone first; then COPIES of a tour and a
# script and twice as many of each short one (by default 3: thirty runs) start all at once, the
# short ones starting while the others read their files. Every one must end as its lone run did,
# with the same standard output, the same messages and the same pictures, byte for byte (the
# runner's time is virtual, so its pictures are the same on a busy machine).
# One-shot commands share one home, as a person's runs share theirs; a tour and a script each run
# on a fresh one. Each run has a folder of its own, so the paths it prints are the same.
# The files the runners read beside the binary (in FOLDER: by default the binary's, or run.sh's
# release build) are not rewritten by the runs: each would read another's copy half written.
set -u
run=$1 work=$2 copies=${3:-3}
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
case "$run" in /*) ;; *) run="$PWD/$run" ;; esac
folder=${4:-$(dirname "$run")}
[ -n "${4:-}" ] || [ "$(basename "$run")" != run.sh ] || folder="$(dirname "$run")/build/release/tools/kavro"
stamps() {  # the inode, time and size of every file the runners read beside the binary
  (cd "$folder" && find tour.txt resources demo -type f -printf '%i %T@ %s %p\n' 2>/dev/null | sort -k4)
}
rm -rf "$work"
mkdir -p "$work"
work="$(cd "$work" && pwd)"
export KAVRO_HOME="$work/shared-home"
mkdir -p "$KAVRO_HOME"

kinds=(tour search-area search job help script)
start() {  # KIND DIR: starts one run of KIND in DIR, in the background
  local kind=$1 dir=$2
  mkdir -p "$dir"
  (
    cd "$dir" || exit 99
    case "$kind" in
      tour) exec "$run" tour pictures ;;
      search-area) exec "$run" search 工程师 --area 020000 ;;
      search) exec "$run" search java ;;
      job) exec "$run" job 45127603 ;;
      help) exec "$run" --help ;;
      script) exec "$run" --home home --out pictures --script "$here/side-by-side.txt" ;;
    esac
  ) >"$dir/out" 2>"$dir/err" &
}
finish() {  # DIR PID: waits for the run, keeps its status and drops what only a build says
  wait "$2"
  echo $? >"$1/status"
  # Words of ./run.sh's build step, whose waits depend on the other runs.
  grep -v -e '^waiting for another build of ' -e '^building build/' "$1/err" >"$1/messages"
  rm -rf "$1/home"
}

failed=0
for kind in "${kinds[@]}"; do
  start "$kind" "$work/alone/$kind"
  finish "$work/alone/$kind" $!
  if [ "$(cat "$work/alone/$kind/status")" != 0 ]; then
    echo "$kind alone failed (exit $(cat "$work/alone/$kind/status")):"
    tail -n 5 "$work/alone/$kind/err"
    failed=1
  fi
done
[ -s "$work/alone/tour/pictures/01-home.png" ] || { echo "the tour alone wrote no pictures"; failed=1; }
[ -s "$work/alone/script/pictures/job.png" ] || { echo "the script alone wrote no pictures"; failed=1; }
[ "$failed" = 0 ] || exit 1

stamps >"$work/files-before"
dirs=()
pids=()
for i in $(seq "$copies"); do
  for kind in "${kinds[@]}" search-area search job help; do
    name=$kind-$i
    [ -e "$work/together/$name" ] && name=$kind-$i-again
    start "$kind" "$work/together/$name"
    dirs+=("$name")
    pids+=("$!")
  done
done
for n in "${!dirs[@]}"; do
  finish "$work/together/${dirs[$n]}" "${pids[$n]}"
done
for name in "${dirs[@]}"; do
  kind=${name%-again}
  kind=${kind%-*}
  if ! diff -r -x err "$work/alone/$kind" "$work/together/$name" >"$work/together/$name.diff"; then
    echo "$name did not give what one run alone gives (exit $(cat "$work/together/$name/status")):"
    head -n 20 "$work/together/$name.diff"
    tail -n 5 "$work/together/$name/err"
    failed=1
  fi
done
stamps >"$work/files-after"
if ! diff "$work/files-before" "$work/files-after" >"$work/files.diff"; then
  echo "the runs rewrote files beside the binary (inode, time, size, name):"
  head -n 10 "$work/files.diff"
  failed=1
fi
echo "${#dirs[@]} runs at once gave what one alone gives: $([ "$failed" = 0 ] && echo yes || echo no)"
[ "$failed" = 0 ] && rm -rf "$work"
exit "$failed"
