#!/usr/bin/env bash
# The retry after a restart: a silent run that finds a module's file read-only keeps the program and
# writes the RunOnce value; once the file is writable again, Windows' start-up processing (here
# `wineboot -r`) runs the retry, which removes the rest, then the program and its directory.
# A restart runs every RunOnce entry of its prefix and ends its windows, so this runs in a copy of
# the test prefix, with a server of its own, and leaves the shared one alone.
# Usage: retry-after-restart.sh SHIP_DIR     (WINEPREFIX: the test prefix to copy; DISPLAY: the test display)
set -euo pipefail

ship="${1:?usage: $0 SHIP_DIR}"
runner="$ship/tools/native/demo_runner.exe"
[ -f "$runner" ] || { echo "FAIL: no $runner" >&2; exit 1; }

source "$(dirname "$0")/own-prefix.sh" restart
expected_retry="\"${install_win}uninstall.exe\" qel60_uninst.ini 4 0 2"

retry_value() { { reg query "$run_once" /v QELUninstTry || true; } | sed -n 's/^ *QELUninstTry  *REG_SZ  *//p'; }
key_exists() { wine 'C:\windows\system32\reg.exe' query "$1" >/dev/null 2>&1; }
gone() { [ ! -e "$1" ]; }
present() { [ -e "$1" ]; }
key_gone() { ! key_exists "$1"; }
# Wine keeps the read-only attribute in the owner's write permission (root may write regardless).
writable() { [ $((0$(stat -c %a "$1") & 0200)) -ne 0 ]; }
not_writable() { ! writable "$1"; }
show_install() { echo "--- left in the install directory:"; [ -d "$install" ] && find "$install" | sed 's/^/  /'; true; }

# The copy's first start runs whatever RunOnce entries its registry held; none may be ours.
wine_quiet cmd /c exit
reg delete "$run_once" /v QELUninstTry /f >/dev/null || true
temp="$(winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')")"
batch="$temp/autodel.bat"
rm -f "$batch"

# The Vantorix edition alone, so that its full removal leaves nothing else in the directory.
(cd "$prefix/drive_c" && wine "$runner" --stage-only --read-only 'Engine\qelsig.dat' \
    --omit 'Base\licence.key' --omit 'Base\edition.ini' --omit 'Exchange\licence.key' \
    --omit 'Exchange\edition.ini' --omit qelsubs.dll --omit qeltask.dll --omit qelsubs.ini \
    --omit qeltask.ini) | tr -d '\r'
[ -f "$install/uninstall.exe" ] || { echo "FAIL: staging made no $install/uninstall.exe" >&2; exit 1; }

# The first run: the read-only signature file refuses the engine module.
(cd "$prefix/drive_c/windows" && wine_quiet "${install_win}uninstall.exe" qel60_uninst.ini 4 0 0)
sleep 1.5  # a removal batch, had one been started, would have acted by now
echo "After the run that refused a module:"
for name in uninstall.exe kolbex.dll qel60_uninst.ini 'Engine/qelsig.dat'; do
  check "$name kept" present "$install/$name"
done
check "no autodel.bat" gone "$batch"
check "the signature file still read-only" not_writable "$install/Engine/qelsig.dat"
check "the engine's registry entries kept" key_exists 'HKLM\System\CurrentControlSet\Services\VxD\QELVXD'
value="$(retry_value)"
check "RunOnce value is $expected_retry (was: $value)" [ "$value" = "$expected_retry" ]

# The refusal lifted, then the restart.
(cd "$prefix/drive_c/windows" && wine_quiet cmd /c attrib -r "${install_win}Engine\\qelsig.dat")
check "the signature file writable again" writable "$install/Engine/qelsig.dat"
wineboot -r >/dev/null 2>&1
echo "After the restart:"
check "the removal batch ended" batch_ends
check "the install directory and autodel.bat gone" wait_for - "$install" "$batch"
check "the engine's registry entries gone" key_gone 'HKLM\System\CurrentControlSet\Services\VxD\QELVXD'
value="$(retry_value)"
check "no RunOnce value left or written again (was: $value)" [ -z "$value" ]

if [ $failures -ne 0 ]; then
  show_install
  echo "$failures check(s) failed" >&2
  exit 1
fi
