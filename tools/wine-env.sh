# Wine settings shared by ./orv, the emulator wrapper and the test fixtures
# (sourced, not run). Set ORV_WINEARCH to win32 or win64 before sourcing.
export WINEARCH=${ORV_WINEARCH:-win64}
export WINEDEBUG=-all
# No Mono/Gecko installers, no desktop menu entries from test prefixes.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
# A pinned locale keeps the ANSI and OEM code pages at 1252 and 437.
export LC_ALL=C
export LANG=C

# One 64-bit wineserver serves the 32-bit prefixes too: under qemu-user a
# 32-bit one cannot read its clients' memory (process enumeration fails).
if [ "$WINEARCH" = win32 ]; then
  ORV_WINE=/usr/lib/wine/wine
else
  ORV_WINE=/usr/lib/wine/wine64
fi
ORV_WINESERVER=/usr/lib/wine/wineserver64
export WINESERVER=$ORV_WINESERVER

# wine_prefix_create DIR [win98]: a fresh prefix in DIR. The first one in a
# folder is made by wineboot as a template beside it; the others are copies,
# which takes a second instead of a dozen.
wine_prefix_create() {
  local dir=$1 version=${2:-}
  local template
  template="$(dirname "$dir")/template-$WINEARCH"
  # The stamp is written last: a template of an older script, or one cut
  # short, is made again.
  if [ ! -f "$template/orv-template-2" ]; then
    rm -rf "$template"
    WINEPREFIX="$template" "$ORV_WINE" wineboot -i >/dev/null 2>&1
    # A program that crashes ends at once with its exception code: no
    # debugger, no crash dialog waiting for a click on the test display.
    local view
    for view in 32 64; do
      [ "$WINEARCH" = win32 ] && [ $view = 64 ] && continue
      WINEPREFIX="$template" "$ORV_WINE" reg add \
        'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
        /v Debugger /d '' /f /reg:$view >/dev/null 2>&1
    done
    WINEPREFIX="$template" "$ORV_WINESERVER" -w
    touch "$template/orv-template-2"
  fi
  rm -rf "$dir"
  cp -a "$template" "$dir"
  if [ "$version" = win98 ]; then
    WINEPREFIX="$dir" "$ORV_WINE" reg add 'HKCU\Software\Wine' /v Version /d win98 /f >/dev/null 2>&1
    WINEPREFIX="$dir" "$ORV_WINESERVER" -w
  fi
  return 0
}

# wine_prefix_remove DIR: stops the prefix's wineserver and deletes it.
wine_prefix_remove() {
  local dir=$1
  [ -d "$dir" ] || return 0
  WINEPREFIX="$dir" "$ORV_WINESERVER" -k >/dev/null 2>&1 || true
  WINEPREFIX="$dir" "$ORV_WINESERVER" -w >/dev/null 2>&1 || true
  rm -rf "$dir"
}
