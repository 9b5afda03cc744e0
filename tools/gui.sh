#!/usr/bin/env bash
# gui.sh BUILD_DIR [PATH]: the wizard orvgui.exe of the build, in the Wine
# prefix that ./orv gui prepared (WINEPREFIX and ORV_WINE set), with PATH
# already in the path field of its file selection page (a Unix path is
# converted to the Windows form).
#
# On an X display (DISPLAY) the wizard opens there and the script ends with
# it. Without one it runs on a private Xvfb display for ORV_GUI_SECONDS
# (5 by default): BUILD_DIR/screenshots/orvgui.png shows it, then it is ended.
set -euo pipefail

BUILD=${1:?usage: gui.sh BUILD_DIR [PATH]}
shift
HERE=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?run this through ./orv gui}"
if [ -z "${ORV_WINE:-}" ]; then
  . "$HERE/wine-env.sh"
fi
EXE=$BUILD/bin/orvgui.exe
[ -f "$EXE" ] || { echo "gui: $EXE is missing; run ./orv build" >&2; exit 1; }

args=()
if [ $# -gt 0 ]; then
  path=$1
  if [ -e "$path" ]; then
    path=$("$ORV_WINE" winepath -w "$path" 2>/dev/null)
  fi
  args=("$path")
fi

if [ -n "${DISPLAY:-}" ] && xwininfo -root >/dev/null 2>&1; then
  exec "$ORV_WINE" "$EXE" "${args[@]}"
fi

. "$HERE/xvfb.sh"
X11_KEY='HKCU\Software\Wine\X11 Driver'
WIZARD_PID=
finish() {
  if [ -n "$WIZARD_PID" ]; then
    kill "$WIZARD_PID" 2>/dev/null || true
    wait "$WIZARD_PID" 2>/dev/null || true
  fi
  # The prefix serves real displays too, where the window manager decorates.
  "$ORV_WINE" reg delete "$X11_KEY" /v Decorated /f >/dev/null 2>&1 || true
  "$ORV_WINE" reg delete "$X11_KEY" /v Managed /f >/dev/null 2>&1 || true
  # The prefix's own processes (its desktop) are bound to this display.
  "${ORV_WINESERVER:-wineserver}" -k >/dev/null 2>&1 || true
  stop_xvfb
}
start_xvfb
trap finish EXIT
echo "gui: no X display; running the wizard on Xvfb $DISPLAY" >&2
# A bare X server has no window manager: Wine draws the captions itself.
"$ORV_WINE" reg add "$X11_KEY" /v Decorated /d N /f >/dev/null 2>&1
"$ORV_WINE" reg add "$X11_KEY" /v Managed /d N /f >/dev/null 2>&1
"$ORV_WINE" "$EXE" "${args[@]}" &
WIZARD_PID=$!
sleep "${ORV_GUI_SECONDS:-5}"
mkdir -p "$BUILD/screenshots"
import -window root "$BUILD/screenshots/orvgui.png"
echo "gui: $BUILD/screenshots/orvgui.png" >&2
