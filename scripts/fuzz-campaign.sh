#!/usr/bin/env bash
# Runs every fuzz target in turn, each from a scratch copy of its seed corpus
# (the repository's corpus never grows), and prints executions, crashes and
# executions per second per target. Undefined behaviour aborts like a crash.
#
#   scripts/fuzz-campaign.sh BUILD_DIR SECONDS [RUNS]
#
# SECONDS is each target's time limit (0: none), RUNS its execution limit
# (empty: none); a target stops at whichever comes first. Environment:
#   FUZZ_TARGETS  names to run (e.g. "clock sm"), default every built target
#   FUZZ_PARALLEL targets run at once, default 1
#   FUZZ_SCRATCH  where corpora, logs and crash inputs go, default a new
#                 directory under ${TMPDIR:-/tmp}
# Exits non-zero when any target crashed; the crash inputs stay in the
# scratch directory and are named in the output.
set -uo pipefail

build=${1:?usage: $0 BUILD_DIR SECONDS [RUNS]}
seconds=${2:?usage: $0 BUILD_DIR SECONDS [RUNS]}
runs=${3:-}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
scratch=${FUZZ_SCRATCH:-$(mktemp -d "${TMPDIR:-/tmp}/kalmo-fuzz.XXXXXX")}
mkdir -p "$scratch"
parallel=${FUZZ_PARALLEL:-1}

if [ -n "${FUZZ_TARGETS:-}" ]; then
  read -r -a targets <<<"$FUZZ_TARGETS"
else
  targets=()
  for corpus in "$source_dir"/fuzz/corpus/*/; do
    targets+=("$(basename "$corpus")")
  done
fi

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$scratch}
# A small quarantine keeps a long run's memory flat (freed blocks are still
# poisoned long enough for one input).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:quarantine_size_mb=16}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:abort_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$source_dir/tests/lsan.supp}

# The longest input worth trying per target: a little beyond the longest
# layout it decodes (SM area 512, forwarding table 488, serial replies up to
# and past the 298-byte checksum limit; for the command line's fields, a
# couple of dozen changes); longer inputs only cost time.
max_len() {
  case $1 in
    can | slave_record | zigbee | dido | network_reply) echo 64 ;;
    slave_map | tag | announcement) echo 128 ;;
    clock | sys_param) echo 160 ;;
    redundancy | control) echo 300 ;;
    serial_reply) echo 400 ;;
    sm | forwarding | serial_receive | network_receive | cli_fields) echo 600 ;;
    command_line_record) echo 1024 ;;
    *) echo 2048 ;; # image_reader, upgrade_package: four packets and more
  esac
}

# One target: corpus copy, a working directory of its own (error logs and
# dumps are written there), the libFuzzer log, and a result line
# "executions crashes exec/s status".
run_target() {
  local name=$1 binary=$build/fuzz/fuzz_$1 dir=$scratch/$1
  mkdir -p "$dir/corpus" "$dir/crashes" "$dir/work"
  if [ ! -x "$binary" ]; then
    echo "0 0 0 not-built" >"$dir/result"
    return
  fi
  cp -r "$source_dir/fuzz/corpus/$name/." "$dir/corpus/"
  local limits=(-max_total_time="$seconds" -max_len="$(max_len "$name")")
  [ -n "$runs" ] && limits+=(-runs="$runs")
  (cd "$dir/work" && "$binary" "${limits[@]}" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$dir/crashes/" "$dir/corpus" >"$dir/log" 2>&1)
  local status=$?
  local execs rate crashes
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log" | tail -n 1)
  crashes=$(find "$dir/crashes" -type f | wc -l)
  # A crash ends libFuzzer before its final statistics: take the last status line.
  if [ -z "$execs" ]; then
    execs=$(grep -o '^#[0-9]*' "$dir/log" | tail -n 1 | tr -d '#')
    rate=$(grep -o 'exec/s: [0-9]*' "$dir/log" | tail -n 1 | tr -dc '0-9')
  fi
  if [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ]; then crashes=1; fi
  echo "${execs:-0} $crashes ${rate:-0} $([ "$status" -eq 0 ] && echo ok || echo crashed)" \
    >"$dir/result"
}

echo "fuzz campaign: ${#targets[@]} targets, ${seconds}s${runs:+ or $runs runs} each, scratch $scratch"
active=0
for name in "${targets[@]}"; do
  if [ "$active" -ge "$parallel" ]; then
    wait -n
    active=$((active - 1))
  fi
  echo "  running $name"
  run_target "$name" &
  active=$((active + 1))
done
wait

failed=0
printf '\n%-22s %14s %8s %10s\n' target executions crashes exec/s
for name in "${targets[@]}"; do
  read -r execs crashes rate status <"$scratch/$name/result"
  printf '%-22s %14s %8s %10s  %s\n' "$name" "$execs" "$crashes" "$rate" \
    "$([ "$status" = ok ] || echo "$status")"
  if [ "$status" != ok ]; then
    failed=1
    find "$scratch/$name/crashes" -type f -printf '    crash input: %p\n'
    echo "    log: $scratch/$name/log"
  fi
done
exit "$failed"
