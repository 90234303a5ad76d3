#!/usr/bin/env bash
# The tour as people run it on a shared machine.
#   tours.sh at-once KAVRO WORK   four tours started together, each on a fresh home (twelve with
#                                 KAVRO_HEAVY_TESTS=1): every one walks to its end.
#   tours.sh twice KAVRO WORK     two tours one after the other on one home: the second walks to
#                                 its end too, with the same screens (first-time guides aside).
set -u
mode=$1 kavro=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
failed=0
report() {  # NAME LOG
  echo "$1 failed:"
  tail -n 5 "$2"
  failed=1
}
case "$mode" in
  at-once)
    count=4
    [ "${KAVRO_HEAVY_TESTS:-0}" = 1 ] && count=12
    pids=()
    for i in $(seq "$count"); do
      "$kavro" tour "$work/tour$i" >"$work/tour$i.log" 2>&1 &
      pids+=("$!")
    done
    for i in $(seq "$count"); do
      wait "${pids[$((i - 1))]}" || report "tour $i of $count" "$work/tour$i.log"
    done
    ;;
  twice)
    for i in 1 2; do
      "$kavro" --home "$work/home" tour "$work/tour$i" >"$work/tour$i.log" 2>&1 || report "tour $i on one home" "$work/tour$i.log"
    done
    # The same screens: every picture of the first run is there in the second, but for the guides
    # a screen shows the first time only.
    for picture in "$work"/tour1/*.png; do
      case "$picture" in *-guide.png) continue ;; esac
      [ -f "$work/tour2/$(basename "$picture")" ] || { echo "the second tour has no $(basename "$picture")"; failed=1; }
    done
    ;;
  *)
    echo "usage: tours.sh at-once|twice KAVRO WORK" >&2
    exit 2
    ;;
esac
[ "$failed" = 0 ] && rm -rf "$work"
exit "$failed"
