#!/usr/bin/env bash
# The finish page's Restart: an interactive full removal of the Vantorix edition, driven by
# tools/ui-driver (Yes, wait, Restart), must end with Windows restarted. A restart runs and deletes
# every RunOnce entry of the prefix and ends its windowed processes, so this runs in a copy of the
# test prefix with a server of its own; the restart is observed through a RunOnce entry planted
# beforehand, whose command runs only then, and through the end of uninstall.exe.
# Usage: interactive-restart.sh SHIP_DIR     (WINEPREFIX: the test prefix to copy; DISPLAY: the test display)
set -euo pipefail

ship="${1:?usage: $0 SHIP_DIR}"
runner="$ship/tools/native/demo_runner.exe"
driver="$ship/tools/ui-driver/ui_driver.exe"
for tool in "$runner" "$driver"; do [ -f "$tool" ] || { echo "FAIL: no $tool" >&2; exit 1; }; done

uninstaller_pid=""
extra_cleanup() { [ -n "$uninstaller_pid" ] && kill "$uninstaller_pid" 2>/dev/null; }
source "$(dirname "$0")/own-prefix.sh" interactive-restart
witness_name=UninstTestRestartWitness
witness="$prefix/drive_c/restart-witness.txt"

has_value() { reg query "$run_once" /v "$1" | grep -q "$1"; }
no_value() { ! has_value "$1"; }
said() { grep -qF "$1" "$prefix/driver.log"; }

# The copy's first start runs whatever RunOnce entries its registry held; then the witness.
wine_quiet cmd /c exit
reg delete "$run_once" /v QELUninstTry /f >/dev/null || true
reg add "$run_once" /v "$witness_name" /d 'cmd.exe /c echo restarted> C:\restart-witness.txt' /f >/dev/null
check "the witness entry is planted" has_value "$witness_name"
temp="$(winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')")"
batch="$temp/autodel.bat"
rm -f "$batch" "$witness"

# The Vantorix edition alone, so that its full removal leaves the directory empty.
(cd "$prefix/drive_c" && wine "$runner" --stage-only \
    --omit 'Base\licence.key' --omit 'Base\edition.ini' --omit 'Exchange\licence.key' \
    --omit 'Exchange\edition.ini' --omit qelsubs.dll --omit qeltask.dll --omit qelsubs.ini \
    --omit qeltask.ini) | tr -d '\r'
[ -f "$install/uninstall.exe" ] || { echo "FAIL: staging made no $install/uninstall.exe" >&2; exit 1; }

(cd "$prefix/drive_c/windows" && exec wine "${install_win}uninstall.exe" qel60_uninst.ini 4 0 1) &
uninstaller_pid=$!
driver_status=0
(cd "$prefix/drive_c" && wine "$driver" --answer yes --finish restart --timeout 120) \
    | tr -d '\r' >"$prefix/driver.log" || driver_status=$?
sed 's/^/  driver: /' "$prefix/driver.log" | grep -v '^  driver: progress'
ended=no
process_ends "$uninstaller_pid" && ended=yes
uninstaller_pid=""

echo "After Restart:"
check "the driver followed the run to its end (status $driver_status)" [ "$driver_status" -eq 0 ]
check "the finish page offered Restart and Exit" said 'buttons: "Restart" "Exit"'
check "Restart was pressed" said 'pressed Restart'
check "uninstall.exe ended" [ "$ended" = yes ]
check "the restart ran the witness entry within 30 s" wait_for + "$witness"
check "the restart deleted the witness entry" no_value "$witness_name"
check "the removal batch ended" batch_ends
check "the program, its directory and autodel.bat gone" wait_for - "$install" "$batch"
check "no retry scheduled" no_value QELUninstTry

if [ $failures -ne 0 ]; then
  echo "--- left in the install directory:"; [ -d "$install" ] && find "$install" | sed 's/^/  /'
  echo "$failures check(s) failed" >&2
  exit 1
fi
