#!/usr/bin/env bash
# The dialog tests (test_gui_win.exe) under wine on a virtual display, with
# the dialogs' Japanese font face mapped to an installed one. PNGs of the
# dialogs are left in the build folder.
#   gui_dialogs.sh BUILD_DIR   (the x86-64 cross-build)
# Exit 0 passed, 77 skipped, anything else failed.
set -uo pipefail
build=$(cd "${1:?build folder}" && pwd)
exe="$build/tests/test_gui_win.exe"
wine=$(command -v wine64 || command -v wine || true)
[ -n "$wine" ] && command -v xvfb-run >/dev/null || { echo "dialogs: SKIPPED - no wine or xvfb-run"; exit 77; }
[ -f "$exe" ] || { echo "dialogs: no $exe"; exit 1; }
if ! fc-list 2>/dev/null | grep -qi ipagothic; then
  [ "$(id -u)" = 0 ] && apt-get install -y -qq fonts-ipafont >/dev/null 2>&1
fi

export WINEDEBUG=-all WINEPREFIX="$build/gui-dialogs-prefix"
# The faces the templates name, drawn with the IPA fonts.
reg="$build/gui-fonts.reg"
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
  '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
  '"ＭＳ Ｐゴシック"="IPAPGothic"' '"ＭＳ ゴシック"="IPAGothic"' \
  '"MS UI Gothic"="IPAPGothic"' '' | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
# Everything on the virtual display: a prefix made without one keeps a
# desktop no window can be shown on.
cat >"$build/gui-dialogs-run.sh" <<RUN
#!/usr/bin/env bash
[ -d "\$WINEPREFIX" ] || "$wine" wineboot -i >/dev/null 2>&1
"$wine" regedit /S '$(sed 's#/#\\#g' <<<"Z:$reg")' >/dev/null 2>&1
cd "$build/tests" && "$wine" "$exe" "\$@"
RUN
chmod +x "$build/gui-dialogs-run.sh"
xvfb-run -a -s "-screen 0 1024x768x24" "$build/gui-dialogs-run.sh" "$@"
status=$?
wineserver -k 2>/dev/null || true
exit $status
