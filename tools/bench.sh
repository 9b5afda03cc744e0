#!/usr/bin/env bash
# bench.sh PROGRAM_DIR TOOL_DIR PREFIX [ROUNDS]: orvline and orvgui against
# their yardsticks, run side by side in each round; each figure is the median
# over the rounds of a ratio of two runs of the same round. Needs ORV_WINE and
# ORV_WINESERVER (tools/wine-env.sh) and an X display for the wizard.
set -euo pipefail
program_dir=$1 tool_dir=$2 prefix=$3 rounds=${4:-5}
export WINEPREFIX=$prefix
orvline="$program_dir/orvline.exe"
bench="$tool_dir/orvbench.exe"
hello="$tool_dir/orvhello.exe"
files=10000 folders=100 starts=10 queued=10000 large=50000
# orvgui by its Windows path (Wine's Z: drive is the root of this machine).
orvgui="Z:$(cd "$program_dir" && pwd)/orvgui.exe"
orvgui=${orvgui//\//\\}
scanbench="$tool_dir/orvscanbench.exe"
holders=100 held=10000
drive="$prefix/drive_c"

"$ORV_WINESERVER" -p </dev/null >/dev/null 2>&1
trap '"$ORV_WINESERVER" -k >/dev/null 2>&1 || true' EXIT

# now_us: microseconds of the wall clock.
now_us() { local t=${EPOCHREALTIME/./}; echo "$t"; }

# summary DIR: "ms longest-wait-ms lines" of orvgui from Next on the folder
# page to the summary page of DIR.
summary() { { "$ORV_WINE" "$bench" summary "$orvgui" "$1" 2>/dev/null </dev/null || echo "0 0 0"; } | tr -d '\r'; }

# timed_with LOADER CMD...: runs a Windows program with that Wine loader,
# prints its wall time in microseconds; timed CMD...: with the prefix's own.
timed_with() {
  local start end loader=$1
  shift
  start=$(now_us)
  "$loader" "$@" >/dev/null 2>&1 </dev/null || true
  end=$(now_us)
  echo $((end - start))
}
timed() { timed_with "$ORV_WINE" "$@"; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

tree_vs_loop=() rd_vs_tree=() start_vs_hello=() pending_vs_delete=() summary_vs_tree=() host_vs_native=() floor_vs_native=()
wow64_note=""
if [ -n "${BENCH_WOW64_PREFIX:-}" ]; then
  WINEPREFIX=$BENCH_WOW64_PREFIX "$ORV_WINESERVER" -p </dev/null >/dev/null 2>&1
  trap '"$ORV_WINESERVER" -k >/dev/null 2>&1 || true; WINEPREFIX=$BENCH_WOW64_PREFIX "$ORV_WINESERVER" -k >/dev/null 2>&1 || true' EXIT
  # Each must show its usage there (and its first start, which sets the
  # prefix up, is not measured).
  # Through a file: the system processes that Wine starts on the way keep
  # a pipe open.
  usage=$(mktemp)
  for run in "$BENCH_WINE32 $orvline" "$BENCH_WINE64 $BENCH_NATIVE64"; do
    WINEARCH=win64 WINEPREFIX=$BENCH_WOW64_PREFIX $run >"$usage" 2>&1 </dev/null || true
    if ! grep -q '^Syntaxe' "$usage"; then
      echo "bench: $run shows no usage in the 64-bit prefix" >&2
      exit 1
    fi
  done
  rm -f "$usage"
fi
echo "rounds: $rounds; tree: $files empty files in $folders folders; start-up: $starts runs each; queue: $queued entries"
for round in $(seq 1 "$rounds"); do
  rm -rf "$drive/bench"
  mkdir -p "$drive/bench"
  per=$((files / folders))
  for name in a b c w; do
    "$ORV_WINE" "$bench" tree "C:\\bench\\$name" "$folders" "$per" >/dev/null 2>&1 </dev/null
  done
  read -r t_summary t_wait summary_lines <<<"$(summary 'C:\bench\w')"
  if [ "$t_summary" = 0 ]; then echo "bench: the wizard did not show the summary page of C:\\bench\\w" >&2; exit 1; fi
  t_orv=$(timed "$orvline" 'C:\bench\a')
  t_loop=$(timed "$bench" loop 'C:\bench\b')
  t_rd=$(timed cmd /c rd /s /q 'C:\bench\c')
  for name in a b c; do
    if [ -e "$drive/bench/$name" ]; then echo "bench: C:\\bench\\$name was not deleted" >&2; exit 1; fi
  done

  s_orv=0 s_hello=0
  for _ in $(seq 1 "$starts"); do
    s_orv=$((s_orv + $(timed "$orvline")))
    s_hello=$((s_hello + $(timed "$hello")))
  done

  # On 64-bit Windows: the 32-bit program with its hand-over against its
  # 64-bit build started directly, in a 64-bit prefix.
  if [ -n "${BENCH_WOW64_PREFIX:-}" ]; then
    # The least two process starts cost: a 32-bit hello world, then the
    # 64-bit program.
    s_host=0 s_native=0 s_hello32=0
    for _ in $(seq 1 "$starts"); do
      s_host=$((s_host + $(WINEARCH=win64 WINEPREFIX=$BENCH_WOW64_PREFIX timed_with "$BENCH_WINE32" "$orvline")))
      s_native=$((s_native + $(WINEARCH=win64 WINEPREFIX=$BENCH_WOW64_PREFIX timed_with "$BENCH_WINE64" \
        "$BENCH_NATIVE64")))
      s_hello32=$((s_hello32 + $(WINEARCH=win64 WINEPREFIX=$BENCH_WOW64_PREFIX timed_with "$BENCH_WINE32" \
        "$hello")))
    done
    host_vs_native+=("$(ratio "$s_host" "$s_native")")
    floor_vs_native+=("$(ratio $((s_hello32 + s_native)) "$s_native")")
    wow64_note=$(printf '; on 64-bit Windows %d ms vs its 64-bit build %d ms, a 32-bit hello world %d ms (x%d)' \
      $((s_host / 1000)) $((s_native / 1000)) $((s_hello32 / 1000)) "$starts")
  fi

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
  summary_vs_tree+=("$(ratio $((t_summary * 1000)) "$t_orv")")
  printf 'round %d: tree %d ms, loop %d ms, rd %d ms; start-up %d ms vs hello %d ms (x%d)%s; /pending %d ms vs deletion by name %d ms; summary page %d ms (%d lines, longest wait %d ms)\n' \
    "$round" $((t_orv / 1000)) $((t_loop / 1000)) $((t_rd / 1000)) $((s_orv / 1000)) $((s_hello / 1000)) \
    "$starts" "$wow64_note" $((t_pending / 1000)) $((t_delete / 1000)) "$t_summary" "$summary_lines" "$t_wait"
done
rm -rf "$drive/bench"

# Once, a tree five times larger: the summary page must stay in step with it.
mkdir -p "$drive/bench"
"$ORV_WINE" "$bench" tree 'C:\bench\large' $((large / 100)) 100 >/dev/null 2>&1 </dev/null
read -r t_large t_large_wait large_lines <<<"$(summary 'C:\bench\large')"
printf 'summary page of %d files: %d ms (%d lines, longest wait %d ms)\n' "$large" "$t_large" "$large_lines" "$t_large_wait"
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
if [ ${#host_vs_native[@]} -gt 0 ]; then
  printf '%-52s %6s   %s\n' "start-up on 64-bit Windows, orvline / its 64-bit build" \
    "$(median <<<"${host_vs_native[*]}")" "<= 1.5"
  printf '%-52s %6s   %s\n' "  the same, two bare process starts / its 64-bit build" \
    "$(median <<<"${floor_vs_native[*]}")" "(floor)"
else
  printf '%-52s %6s   %s\n' "start-up on 64-bit Windows, orvline / its 64-bit build" "n/a" "(no 32-bit code here)"
fi
printf '%-52s %6s   %s\n' "/pending of $queued queued deletions / same by name" "$(median <<<"${pending_vs_delete[*]}")" "<= 1.5"
printf '%-52s %6s   %s\n' "summary page of $files files / orvline deleting them" "$(median <<<"${summary_vs_tree[*]}")" "<= 2"
printf '%-52s %6s   %s\n' "summary page of $large files, seconds (once)" "$(awk -v t="$t_large" 'BEGIN { printf "%.2f", t / 1000 }')" "< 3"
printf '%-52s %6s   %s\n' "holder scan of $held open files / module scan" "$(ratio "$t_scan" "$t_modules")" "<= 2"
printf '%-52s %6s   %s\n' "holder scan of $held open files, seconds" "$(awk -v t="$t_scan" 'BEGIN { printf "%.2f", t / 1e6 }')" "< 1"
