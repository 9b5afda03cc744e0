#!/usr/bin/env bash
# demo.sh PROGRAM_DIR HELPER_DIR: the main job of orvline on a locked file,
# step by step: orvline.exe of PROGRAM_DIR (the deliverables), the holder
# orvholder.exe of HELPER_DIR, in the Wine prefix that ./orv demo prepared
# (WINEPREFIX and ORV_WINE set). Safe to run again: every run starts from a
# fresh C:\orvdemo, and a step that fails ends what the demo started.
set -euo pipefail

BIN=${1:?usage: demo.sh PROGRAM_DIR HELPER_DIR}
HELPERS=${2:?usage: demo.sh PROGRAM_DIR HELPER_DIR}
: "${WINEPREFIX:?run this through ./orv demo}"
if [ -z "${ORV_WINE:-}" ]; then
  # The Wine settings of ./orv (ORV_WINEARCH comes from it).
  . "$(cd "$(dirname "$0")" && pwd)/wine-env.sh"
fi
for exe in "$BIN/orvline.exe" "$HELPERS/orvholder.exe"; do
  [ -f "$exe" ] || { echo "demo: $exe is missing; run ./orv build" >&2; exit 1; }
done

DEMO_DIR=$WINEPREFIX/drive_c/orvdemo
FILE_WIN='C:\orvdemo\verrouille.txt'
FILE_UNIX=$DEMO_DIR/verrouille.txt
QUEUE_KEY='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager'
WORK=$(mktemp -d)
HOLDER_PID=

step() { printf '\n=== %s\n' "$*"; }

# The holder keeps the file open until its standard input reaches its end:
# that end is our descriptor 3 on a FIFO. Every other program starts without
# it, or the holder would never see the end.
release_lock() {
  if [ -n "$HOLDER_PID" ]; then
    exec 3>&-
    wait "$HOLDER_PID" 2>/dev/null || true
    HOLDER_PID=
  fi
}
# After a failed step, nothing the demo started stays: the holder and every
# process of the prefix.
cleanup() {
  local rc=$?
  if [ $rc -ne 0 ]; then
    [ -n "$HOLDER_PID" ] && kill "$HOLDER_PID" 2>/dev/null
    "${ORV_WINESERVER:-wineserver}" -k >/dev/null 2>&1
    echo "demo: stopped after a failed step; the processes it started are ended" >&2
  fi
  release_lock
  rm -rf "$WORK"
}
trap cleanup EXIT

step "1. A file to delete: $FILE_WIN"
rm -rf "$DEMO_DIR"
mkdir -p "$DEMO_DIR"
printf 'Ce fichier est ouvert par un autre programme.\r\n' >"$FILE_UNIX"
ls -l "$FILE_UNIX"

step "2. Another program opens it without sharing (orvholder.exe)"
mkfifo "$WORK/stdin"
exec 3<>"$WORK/stdin"
"$ORV_WINE" "$HELPERS/orvholder.exe" open "$FILE_WIN" <"$WORK/stdin" >"$WORK/holder.out" 3>&- &
HOLDER_PID=$!
for _ in $(seq 1 300); do
  grep -q ready "$WORK/holder.out" 2>/dev/null && break
  kill -0 "$HOLDER_PID" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q ready "$WORK/holder.out" 2>/dev/null; then
  echo "demo: the holder could not open the file" >&2
  exit 1
fi
echo "orvholder.exe holds $FILE_WIN (process $HOLDER_PID)"

step "3. orvline.exe $FILE_WIN /log"
REPORT=$BIN/orvline.txt
report_size=$( [ -f "$REPORT" ] && wc -c <"$REPORT" || echo 0 )
set +e
"$ORV_WINE" "$BIN/orvline.exe" "$FILE_WIN" /log 3>&-
code=$?
set -e
if [ "$code" -eq 0 ]; then
  echo "exit code: 0 (done: the file is in use, so its deletion waits for the restart)"
else
  echo "exit code: $code (not what this demo expects)" >&2
  exit 1
fi

step "4. The restart queue now names the file"
"$ORV_WINE" reg query "$QUEUE_KEY" /v PendingFileRenameOperations 3>&- || echo "(no queue)"

step "5. The report that /log appended to bin/orvline.txt"
if [ -f "$REPORT" ]; then
  tail -c +"$((report_size + 1))" "$REPORT"
else
  echo "(no report file)"
fi

step "6. The other program lets the file go; it is still there"
release_lock
ls -l "$FILE_UNIX"

step "7. Restart of the Wine prefix (wineboot -r), which carries out the queue"
"$ORV_WINE" wineboot -r

step "8. After the restart"
if [ -e "$FILE_UNIX" ]; then
  echo "demo: $FILE_WIN is still there" >&2
  exit 1
fi
echo "$FILE_WIN is gone."
"$ORV_WINE" reg query "$QUEUE_KEY" /v PendingFileRenameOperations >/dev/null 2>&1 \
  && echo "the queue still holds entries" || echo "the restart queue is empty."
rm -rf "$DEMO_DIR"
