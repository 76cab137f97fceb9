#!/usr/bin/env bash
# The Windows programs, cross-built here with mingw-w64 (x86-64, the tested
# target, and i686), and the x86-64 test suite run under wine.
# Exit 0: built and passed; 77: the tools cannot be installed here (skipped);
# anything else: a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out="$root/build-win"
jobs=$(nproc)
start=$SECONDS

skip() { echo "windows: SKIPPED - $*"; exit 77; }

need=()
for p in g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64; do
  dpkg -s "$p" >/dev/null 2>&1 || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  [ "$(id -u)" = 0 ] || skip "missing ${need[*]} and not root"
  echo "windows: installing ${need[*]}"
  if ! apt-get install -y -qq "${need[@]}" >/dev/null 2>&1; then
    apt-get update -qq >/dev/null 2>&1 || true
    apt-get install -y -qq "${need[@]}" >/dev/null 2>&1 || skip "cannot install ${need[*]}"
  fi
fi
wine=$(command -v wine64 || command -v wine || true)
[ -n "$wine" ] || skip "no wine"
[ -d /usr/src/googletest ] || skip "no GoogleTest sources in /usr/src/googletest"

# GoogleTest for the cross compiler, once.
gtest="$out/gtest/install"
if [ ! -f "$gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$out/gtest/build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DBUILD_GMOCK=OFF \
    -DCMAKE_INSTALL_PREFIX="$gtest" >/dev/null
  cmake --build "$out/gtest/build" -j"$jobs" >/dev/null
  cmake --install "$out/gtest/build" >/dev/null
fi

cmake -S . -B "$out/x86_64" -DCMAKE_BUILD_TYPE=Release -DQLN_TESTS=ON \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DGTest_DIR="$gtest/lib/cmake/GTest" >/dev/null
cmake --build "$out/x86_64" -j"$jobs"
cmake -S . -B "$out/i686" -DCMAKE_BUILD_TYPE=Release -DQLN_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$out/i686" -j"$jobs" --target quillon-cli
built=$SECONDS
echo "windows: built quillon-cli.exe (x86-64, i686) and the tests in $((built - start)) s"

# A fresh wine prefix for every run.
export WINEDEBUG=-all WINEPREFIX="$out/wineprefix"
rm -rf "$WINEPREFIX"
"$wine" wineboot -i >/dev/null 2>&1 || true
status=0
(cd "$out/x86_64" && ctest --output-on-failure -j"$jobs") || status=1

# The Japanese names again under the two code pages of Japanese Windows:
# 932 (wine takes it from a ja_JP locale, which must exist on this side for
# the file names) and 65001 (set by a manifest beside both programs).
tests="$out/x86_64/tests"
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf-\?8$'; then
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 >/dev/null 2>&1 || true
fi
if locale -a 2>/dev/null | grep -qi '^ja_JP.utf-\?8$'; then
  echo "windows: Japanese names under code page 932"
  (cd "$tests" && LC_ALL=ja_JP.UTF-8 QLN_EXPECT_CODE_PAGE=932 "$wine" test_cli.exe --gtest_filter='JapaneseNames.*' 2>&1 | tail -n 1) || status=1
else
  echo "windows: no ja_JP.UTF-8 locale here; the code page 932 run is skipped"
fi
echo "windows: Japanese names under code page 65001"
for p in "$out/x86_64/quillon-cli.exe" "$tests/test_cli.exe"; do cp cmake/utf8-code-page.manifest "$p.manifest"; done
(cd "$tests" && QLN_EXPECT_CODE_PAGE=65001 "$wine" test_cli.exe --gtest_filter='JapaneseNames.*' 2>&1 | tail -n 1) || status=1
rm -f "$out/x86_64/quillon-cli.exe.manifest" "$tests/test_cli.exe.manifest"

# The program itself against the Linux build on the real demo dump.
linux="$root/build/quillon-cli"
if [ ! -x "$linux" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build -j"$jobs" --target quillon-cli >/dev/null
fi
bash scripts/windows_cli_check.sh "$out/x86_64/quillon-cli.exe" "$wine" "$linux" || status=1
# The windowed program on a virtual display (skipped without xvfb-run).
gui=0; bash scripts/gui_check.sh "$out/x86_64" || gui=$?
[ $gui = 0 ] || [ $gui = 77 ] || status=1
# The dialogs, driven by messages (skipped the same way).
gui=0; bash scripts/gui_dialogs.sh "$out/x86_64" >"$out/gui-dialogs.log" 2>&1 || gui=$?
tail -n 3 "$out/gui-dialogs.log"
[ $gui = 0 ] || [ $gui = 77 ] || { grep -E 'Failure|FAILED' "$out/gui-dialogs.log" | head -20; status=1; }
echo "windows: suite under wine in $((SECONDS - built)) s (whole stage $((SECONDS - start)) s)"
exit $status
