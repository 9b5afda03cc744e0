# Wine settings shared by ./orv, the emulator wrapper and the test fixtures
# (sourced, not run). Set ORV_WINEARCH to win32 or win64 before sourcing.
export WINEARCH=${ORV_WINEARCH:-win64}
export WINEDEBUG=-all
# No Mono/Gecko installers, no desktop menu entries from test prefixes.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
# A pinned locale keeps the ANSI and OEM code pages at 1252 and 437.
export LC_ALL=C
export LANG=C

if [ "$WINEARCH" = win32 ]; then
  ORV_WINE=/usr/lib/wine/wine
  ORV_WINESERVER=/usr/lib/wine/wineserver32
else
  ORV_WINE=/usr/lib/wine/wine64
  ORV_WINESERVER=/usr/lib/wine/wineserver64
fi
export WINESERVER=$ORV_WINESERVER

# wine_prefix_create DIR [win98]: a fresh prefix in DIR. The first one in a
# folder is made by wineboot as a template beside it; the others are copies,
# which takes a second instead of a dozen.
wine_prefix_create() {
  local dir=$1 version=${2:-}
  local template
  template="$(dirname "$dir")/template-$WINEARCH"
  if [ ! -f "$template/system.reg" ]; then
    rm -rf "$template"
    WINEPREFIX="$template" "$ORV_WINE" wineboot -i >/dev/null 2>&1
    WINEPREFIX="$template" "$ORV_WINESERVER" -w
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
