#!/usr/bin/env bash
# bench.sh PROGRAM_DIR TOOL_DIR PREFIX [ROUNDS]: orvline against its
# yardsticks, run side by side in each round; each figure is the median over
# the rounds of a ratio of two runs of the same round. Needs ORV_WINE and
# ORV_WINESERVER (tools/wine-env.sh).
set -euo pipefail
program_dir=$1 tool_dir=$2 prefix=$3 rounds=${4:-5}
export WINEPREFIX=$prefix
orvline="$program_dir/orvline.exe"
bench="$tool_dir/orvbench.exe"
scanbench="$tool_dir/orvscanbench.exe"
files=10000 folders=100 starts=10 queued=10000 holders=100 held=10000
drive="$prefix/drive_c"

"$ORV_WINESERVER" -p </dev/null >/dev/null 2>&1
trap '"$ORV_WINESERVER" -k >/dev/null 2>&1 || true' EXIT

# now_us: microseconds of the wall clock.
now_us() { local t=${EPOCHREALTIME/./}; echo "$t"; }

# timed CMD...: runs a Windows program, prints its wall time in microseconds.
timed() {
  local start end
  start=$(now_us)
  "$ORV_WINE" "$@" >/dev/null 2>&1 </dev/null || true
  end=$(now_us)
  echo $((end - start))
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

tree_vs_loop=() rd_vs_tree=() start_vs_hello=() pending_vs_delete=()
echo "rounds: $rounds; tree: $files empty files in $folders folders; start-up: $starts runs each; queue: $queued entries"
for round in $(seq 1 "$rounds"); do
  rm -rf "$drive/bench"
  mkdir -p "$drive/bench"
  per=$((files / folders))
  for name in a b c; do
    "$ORV_WINE" "$bench" tree "C:\\bench\\$name" "$folders" "$per" >/dev/null 2>&1 </dev/null
  done
  t_orv=$(timed "$orvline" 'C:\bench\a')
  t_loop=$(timed "$bench" loop 'C:\bench\b')
  t_rd=$(timed cmd /c rd /s /q 'C:\bench\c')
  for name in a b c; do
    if [ -e "$drive/bench/$name" ]; then echo "bench: C:\\bench\\$name was not deleted" >&2; exit 1; fi
  done

  s_orv=0 s_hello=0
  for _ in $(seq 1 "$starts"); do
    s_orv=$((s_orv + $(timed "$orvline")))
    s_hello=$((s_hello + $(timed "$bench" hello)))
  done

  # The take-over against the least it must do: /pending deletes the queued
  # files by name, and a minimal program deletes as many files by name.
  "$ORV_WINE" "$bench" queue 'C:\bench\q' "$queued" >/dev/null 2>&1 </dev/null
  "$ORV_WINE" "$bench" files 'C:\bench\f' "$queued" >/dev/null 2>&1 </dev/null
  t_pending=$(timed "$orvline" /pending)
  t_delete=$(timed "$bench" delete 'C:\bench\f' "$queued")
  for name in q f; do
    if [ -n "$(ls -A "$drive/bench/$name" 2>/dev/null)" ]; then echo "bench: C:\\bench\\$name was not emptied" >&2; exit 1; fi
  done

  tree_vs_loop+=("$(ratio "$t_orv" "$t_loop")")
  rd_vs_tree+=("$(ratio "$t_rd" "$t_orv")")
  start_vs_hello+=("$(ratio "$s_orv" "$s_hello")")
  pending_vs_delete+=("$(ratio "$t_pending" "$t_delete")")
  printf 'round %d: tree %d ms, loop %d ms, rd %d ms; start-up %d ms vs hello %d ms (x%d); /pending %d ms vs deletion by name %d ms\n' \
    "$round" $((t_orv / 1000)) $((t_loop / 1000)) $((t_rd / 1000)) $((s_orv / 1000)) $((s_hello / 1000)) \
    "$starts" $((t_pending / 1000)) $((t_delete / 1000))
done
rm -rf "$drive/bench"

# The holder scan: $holders processes hold $held files open in all, one of
# them the target; the whole scan (modules and handles) against the module
# scan of the same processes, both timed inside one program.
mkdir -p "$drive/bench/h"
pids=()
for i in $(seq 1 "$holders"); do
  "$ORV_WINE" "$bench" hold "C:\\bench\\h\\p$i" $((held / holders)) </dev/null >/dev/null 2>&1 &
  pids+=($!)
done
ready=0
for _ in $(seq 1 600); do
  ready=$(find "$drive/bench/h" -maxdepth 1 -name '*.ready' | wc -l)
  [ "$ready" -ge "$holders" ] && break
  sleep 0.5
done
scan=""
if [ "$ready" -ge "$holders" ]; then
  scan=$("$ORV_WINE" "$scanbench" 'C:\bench\h\p50\f50.txt' "$rounds" </dev/null 2>/dev/null | tr -d '\r')
fi
"$ORV_WINE" "$bench" stop </dev/null >/dev/null 2>&1 || true
wait "${pids[@]}" || true
rm -rf "$drive/bench"
read -r _ t_modules n_modules _ t_scan n_scan <<<"$scan" || true
if [ -z "${t_scan:-}" ] || [ "${n_scan:-0}" -ne 1 ] || [ "${n_modules:-1}" -ne 0 ]; then
  echo "bench: the holder scan did not find the one holder of the target ($ready holders ready; '$scan')" >&2
  exit 1
fi
echo "holder scan: $holders processes, $held open files: whole scan $((t_scan / 1000)) ms, module scan $((t_modules / 1000)) ms (median of $rounds)"

echo
printf '%-52s %6s   %s\n' "figure (median of $rounds rounds)" ratio target
printf '%-52s %6s   %s\n' "tree delete, orvline / minimal loop" "$(median <<<"${tree_vs_loop[*]}")" "<= 1.3"
printf '%-52s %6s   %s\n' "tree delete, rd /s /q / orvline" "$(median <<<"${rd_vs_tree[*]}")" ">= 4"
printf '%-52s %6s   %s\n' "start-up, orvline / hello world" "$(median <<<"${start_vs_hello[*]}")" "<= 1.1"
printf '%-52s %6s   %s\n' "/pending of $queued queued deletions / same by name" "$(median <<<"${pending_vs_delete[*]}")" "<= 1.5"
printf '%-52s %6s   %s\n' "holder scan of $held open files / module scan" "$(ratio "$t_scan" "$t_modules")" "<= 2"
printf '%-52s %6s   %s\n' "holder scan of $held open files, seconds" "$(awk -v t="$t_scan" 'BEGIN { printf "%.2f", t / 1e6 }')" "< 1"
