#!/usr/bin/env bash
# The windowed program under wine on a virtual display: converts a real dump
# named on its command line, starts the viewer named by QLN_PREVIEW_PROGRAM
# with the CSV path, and a second instance started meanwhile ends at once.
# A screenshot of the progress window is left in the build folder.
#   gui_check.sh BUILD_DIR   (the x86-64 cross-build holding quillon.exe)
# Exit 0 passed, 77 skipped, anything else failed.
set -uo pipefail
build=$(cd "${1:?build folder}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
dump="$root/../shared/dumps/alphaoffice.dmp"
exe="$build/quillon.exe"
wine=$(command -v wine64 || command -v wine || true)
[ -n "$wine" ] && command -v xvfb-run >/dev/null || { echo "gui: SKIPPED - no wine or xvfb-run"; exit 77; }
[ -f "$dump" ] || { echo "gui: SKIPPED - no $dump"; exit 77; }
[ -f "$exe" ] || { echo "gui: no $exe"; exit 1; }

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
# The viewer: a shell line that records the paths it is given.
export QLN_PREVIEW_PROGRAM='cmd.exe /c echo>Z:'"$(sed 's#/#\\#g' <<<"$work")"'\viewer.txt'
export QLN_INIFILE_PATH="Z:$(sed 's#/#\\#g' <<<"$work")\\Quillon.ini"
printf 'VIEW_PROGRAM=USER\r\nHEADER=Y\r\n' >"$work/Quillon.ini"

# Windows programs get Windows paths (Z: is the Linux root under wine).
windump="Z:$(sed 's#/#\\#g' <<<"$work")\\alpha.dmp"
cat >"$work/run.sh" <<RUN
#!/usr/bin/env bash
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
RUN
chmod +x "$work/run.sh"
xvfb-run -a -s "-screen 0 800x600x24" "$work/run.sh"
sleep 2  # the viewer runs on its own
fail=0
grep -q "first=0" "$work/first.txt" || { echo "gui: quillon.exe failed"; fail=1; }
[ -s "$work/alpha.csv" ] || { echo "gui: no CSV written"; fail=1; }
grep -q 'alpha.csv' "$work/viewer.txt" 2>/dev/null || { echo "gui: the viewer was not started with the CSV"; fail=1; }
[ -f "$work/second.txt" ] && ! grep -q "second=0" "$work/second.txt" && { echo "gui: a second instance did not end at once"; fail=1; }
[ $fail = 0 ] && echo "gui: converted, viewer started, second instance ended; screenshot $build/quillon-progress.png"
exit $fail
