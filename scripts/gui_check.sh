#!/usr/bin/env bash
# The windowed program under wine on a virtual display: converts a real dump
# named on its command line, starts the viewer named by QLN_PREVIEW_PROGRAM
# with the CSV path, and a second instance started meanwhile ends at once.
# Then the window tests (tests/test_gui_win.exe) drive the main window by
# messages. Screenshots of the progress and main windows are left in the build folder.
#   gui_check.sh BUILD_DIR   (the x86-64 cross-build holding quillon.exe)
# Exit 0 passed, 77 skipped, anything else failed.
set -uo pipefail
build=$(cd "${1:?build folder}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
dump="$root/../shared/dumps/alphaoffice.dmp"
exe="$build/quillon.exe"
wine=$(command -v wine64 || command -v wine || true)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -n "$wine" ] && command -v xvfb-run >/dev/null || { echo "gui: SKIPPED - no wine or xvfb-run"; exit 77; }
[ -f "$dump" ] || { echo "gui: SKIPPED - no $dump"; exit 77; }
[ -f "$exe" ] || { echo "gui: no $exe"; exit 1; }

# Japanese captions need a Japanese font on this side (wine uses the system's).
if ! fc-list 2>/dev/null | grep -qi ipapgothic && [ "$(id -u)" = 0 ]; then
  apt-get install -y -qq fonts-ipafont >/dev/null 2>&1 ||
    { apt-get update -qq >/dev/null 2>&1; apt-get install -y -qq fonts-ipafont >/dev/null 2>&1; } ||
    echo "gui: fonts-ipafont could not be installed; Japanese captions show as boxes"
fi

work="$build/gui-check"
rm -rf "$work" && mkdir -p "$work"
cp "$dump" "$work/alpha.dmp"  # a copy: a Unix link is no file a Windows program meets
export WINEDEBUG=-all WINEPREFIX="$build/gui-wineprefix"
if [ ! -d "$WINEPREFIX" ]; then
  "$wine" wineboot -i >/dev/null 2>&1
  # A new prefix is written out when its server ends: a program started
  # before that finds no registry and fails.
  server=$(command -v wineserver || echo /usr/lib/wine/wineserver)
  "$server" -w 2>/dev/null || sleep 5
fi
# The windows' font and the system's UI faces drawn with the installed Japanese face.
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  for face in 'ＭＳ Ｐゴシック' 'ＭＳ ゴシック' 'MS UI Gothic' 'MS Shell Dlg' 'MS Shell Dlg 2' 'Tahoma' 'MS Sans Serif'; do
    printf '"%s"="IPAPGothic"\r\n' "$face"
  done
} | iconv -f UTF-8 -t UTF-16 >"$work/fonts.reg"
# The viewer: a shell line that records the paths it is given.
export QLN_PREVIEW_PROGRAM='cmd.exe /c echo>Z:'"$(sed 's#/#\\#g' <<<"$work")"'\viewer.txt'
export QLN_INIFILE_PATH="Z:$(sed 's#/#\\#g' <<<"$work")\\Quillon.ini"
printf 'VIEW_PROGRAM=USER\r\nHEADER=Y\r\n' >"$work/Quillon.ini"

# Windows programs get Windows paths (Z: is the Linux root under wine).
windump="Z:$(sed 's#/#\\#g' <<<"$work")\\alpha.dmp"
cat >"$work/run.sh" <<RUN
#!/usr/bin/env bash
# Wine's processes of this prefix start here, on this display, and end with it.
"$wine" regedit /S 'Z:$(sed 's#/#\\#g' <<<"$work")\\fonts.reg' >/dev/null 2>&1
"$wine" "$exe" '$windump' & first=\$!
shot=0
for i in \$(seq 1 100); do
  if [ \$shot = 0 ] && xwininfo -root -tree 2>/dev/null | grep -q '"Quillon"'; then
    "$wine" "$exe" '$windump'; echo "second=\$?" >"$work/second.txt"
    import -window root "$build/quillon-progress.png" 2>/dev/null; shot=1
  fi
  kill -0 \$first 2>/dev/null || break
  sleep 0.1
done
wait \$first; echo "first=\$?" >"$work/first.txt"
# Started alone it opens its main window (client 710 x 415 under a menu bar).
"$wine" "$exe" & alone=\$!
for i in \$(seq 1 100); do
  xwininfo -root -tree 2>/dev/null | grep -q '"Quillon": ("quillon.exe" "quillon.exe")  710x4' && break
  sleep 0.1
done
sleep 0.5
xwininfo -root -tree 2>/dev/null | grep '"Quillon"' >"$work/main-window.txt"
import -window root "$build/quillon-start.png" 2>/dev/null
kill \$alone 2>/dev/null; wait \$alone 2>/dev/null
# The window tests, on the same display.
(cd "$build/tests" && env -u QLN_PREVIEW_PROGRAM -u QLN_INIFILE_PATH "$wine" test_gui_win.exe \
  >"$work/window-tests.txt" 2>&1); echo "tests=\$?" >"$work/tests.txt"
"$wineserver" -k 2>/dev/null || true  # nothing of this prefix outlives the display
RUN
chmod +x "$work/run.sh"
"$wineserver" -k 2>/dev/null  # nothing left of an earlier run on a display now gone
xvfb-run -a -s "-screen 0 1024x768x24" "$work/run.sh"
sleep 2  # the viewer runs on its own
fail=0
grep -q "first=0" "$work/first.txt" || { echo "gui: quillon.exe failed"; fail=1; }
[ -s "$work/alpha.csv" ] || { echo "gui: no CSV written"; fail=1; }
grep -q 'alpha.csv' "$work/viewer.txt" 2>/dev/null || { echo "gui: the viewer was not started with the CSV"; fail=1; }
[ -f "$work/second.txt" ] && ! grep -q "second=0" "$work/second.txt" && { echo "gui: a second instance did not end at once"; fail=1; }
grep -q '710x4' "$work/main-window.txt" || { echo "gui: the main window did not open"; fail=1; }
if [ ! -f "$build/tests/test_gui_win.exe" ]; then
  echo "gui: no tests/test_gui_win.exe"; fail=1
elif ! grep -q "tests=0" "$work/tests.txt"; then
  echo "gui: window tests failed:"; grep -E "Failure|FAILED|error" -A3 "$work/window-tests.txt" | head -40; fail=1
else
  echo "gui: $(grep -E '^\[  PASSED' "$work/window-tests.txt")"
fi
[ $fail = 0 ] && echo "gui: converted, viewer started, second instance ended, window tests passed; screenshots quillon-progress.png, quillon-start.png, quillon-main.png in $build"
exit $fail
