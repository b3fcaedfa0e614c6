#!/usr/bin/env bash
# Restart on the finish page leaves nothing of the program behind, even when the restart ends the
# removal batch before it is done: an interactive full removal of the Vantorix edition, with the
# program's file held open so that the batch can only loop, and Wine's restart replaced by
# tools/native/restart_standin, which ends the batch as a real restart would and runs nothing
# else (Wine's own restart would run the start-up deletions at once, while the program still runs).
# Then the real start-up processing (`wineboot -r`) must delete the program, autodel.bat and the
# install directory. MODE win98 takes the WININIT.INI road (with a RunOnce command for the
# directory), nt the MoveFileEx one (uninstall.exe alone told it runs on Windows 7). Runs in a copy of the test prefix, like the other restart tests.
# Usage: restart-leaves-nothing.sh SHIP_DIR win98|nt   (WINEPREFIX: the test prefix to copy; DISPLAY)
set -euo pipefail

ship="${1:?usage: $0 SHIP_DIR win98|nt}"
mode="${2:?usage: $0 SHIP_DIR win98|nt}"
case "$mode" in win98|nt) ;; *) echo "unknown mode $mode" >&2; exit 2 ;; esac
runner="$ship/tools/native/demo_runner.exe"
driver="$ship/tools/ui-driver/ui_driver.exe"
standin="$ship/tools/native/restart_standin.exe"
for tool in "$runner" "$driver" "$standin"; do [ -f "$tool" ] || { echo "FAIL: no $tool" >&2; exit 1; }; done

uninstaller_pid=""
holder_pid=""
extra_cleanup() {
  [ -n "$uninstaller_pid" ] && kill "$uninstaller_pid" 2>/dev/null
  [ -n "$holder_pid" ] && kill "$holder_pid" 2>/dev/null
  true
}
source "$(dirname "$0")/own-prefix.sh" "restart-$mode"
c="$prefix/drive_c"
system32="$c/windows/system32"
session_manager='HKLM\System\CurrentControlSet\Control\Session Manager'

same_file() { [ -e "$1" ] && [ "$(realpath "$1")" = "$(realpath "$2")" ]; }
all_there() { [ -e "$install/uninstall.exe" ] && [ -e "$batch" ] && [ -d "$install" ]; }
# WININIT.INI as the program spelled its name, if there is one.
wininit_file() { find "$c/windows" -maxdepth 1 -iname wininit.ini | head -n 1; }
# The NUL= values of WININIT.INI's [rename] section, one a line.
wininit_deletions() {
  local file; file="$(wininit_file)"
  [ -n "$file" ] || return 0
  tr -d '\r' <"$file" | awk '/^\[/ { inside = tolower($0) == "[rename]"; next }
                                              inside && /^NUL=/ { print substr($0, 5) }'
}
run_once_value() { { reg query "$run_once" /v "$1" || true; } | sed -n "s/^ *$1  *REG_SZ  *//p"; }
pending_operations() { reg query "$session_manager" /v PendingFileRenameOperations | sed -n 's/.*REG_MULTI_SZ *//p'; }

wine_quiet cmd /c exit
reg delete "$run_once" /v QELUninstTry /f >/dev/null || true
if [ "$mode" = nt ]; then
  reg add 'HKCU\Software\Wine\AppDefaults\uninstall.exe' /v Version /d win7 /f >/dev/null
fi
temp="$(winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')")"
batch="$temp/autodel.bat"
rm -f "$batch" "$(wininit_file)" "$c/restart-requested.txt" "$c/holding.txt" "$c/release.txt"

# The Vantorix edition alone, so that its full removal leaves the directory to the batch.
(cd "$c" && wine "$runner" --stage-only \
    --omit 'Base\licence.key' --omit 'Base\edition.ini' --omit 'Exchange\licence.key' \
    --omit 'Exchange\edition.ini' --omit qelsubs.dll --omit qeltask.dll --omit qelsubs.ini \
    --omit qeltask.ini) | tr -d '\r'
[ -f "$install/uninstall.exe" ] || { echo "FAIL: staging made no $install/uninstall.exe" >&2; exit 1; }

# While the program's file is held open, the batch can delete nothing and only loops.
(cd "$c" && exec wine "$standin" --hold "${install_win}uninstall.exe" 'C:\holding.txt' 'C:\release.txt') &
holder_pid=$!
wait_for + "$c/holding.txt" || { echo "FAIL: the holder did not start" >&2; exit 1; }

# The stand-in answers the restart; the real wineboot.exe comes back for the next start. Each is
# put in place as a new file: the server keeps what it learnt of an image file it mapped before,
# and a file rewritten in place would sometimes be mapped with the old file's layout.
mv "$system32/wineboot.exe" "$prefix/wineboot.exe.real"
cp "$standin" "$system32/wineboot.exe"
(cd "$c/windows" && WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-};wineboot.exe=n" \
    exec wine "${install_win}uninstall.exe" qel60_uninst.ini 4 0 1) &
uninstaller_pid=$!
driver_status=0
(cd "$c" && wine "$driver" --answer yes --finish restart --timeout 120) | tr -d '\r' >"$prefix/driver.log" \
    || driver_status=$?
ended=no
process_ends "$uninstaller_pid" && ended=yes
uninstaller_pid=""
rm -f "$system32/wineboot.exe"
mv "$prefix/wineboot.exe.real" "$system32/wineboot.exe"

echo "After Restart ($mode), before the next start:"
check "the driver followed the run to its end (status $driver_status)" [ "$driver_status" -eq 0 ]
check "Restart was pressed" grep -qF 'pressed Restart' "$prefix/driver.log"
check "uninstall.exe ended" [ "$ended" = yes ]
check "the restart was asked for and ended the batch" wait_for + "$c/restart-requested.txt"
grep -q 'ended cmd.exe: [1-9]' "$c/restart-requested.txt" 2>/dev/null || echo "  (no batch interpreter was running)"
check "the program, autodel.bat and the directory are still there" all_there
if [ "$mode" = win98 ]; then
  mapfile -t deletions < <(wininit_deletions)
  printf '  WININIT.INI NUL=%s\n' "${deletions[@]}"
  check "WININIT.INI names three paths" [ ${#deletions[@]} -eq 3 ]
  check "first the program, by its short path" same_file "$(winepath -u "${deletions[0]:-none}" 2>/dev/null)" "$install/uninstall.exe"
  check "then autodel.bat" same_file "$(winepath -u "${deletions[1]:-none}" 2>/dev/null)" "$batch"
  check "then the install directory" same_file "$(winepath -u "${deletions[2]:-none}" 2>/dev/null)" "$install"
  check "no pending operation in the registry" [ -z "$(pending_operations)" ]
  # WININIT.EXE deletes files only; the directory goes by a RunOnce command once it is empty.
  check "RunOnce removes the directory by its short path" \
      [ "$(run_once_value QELUninstDir)" = "C:\\windows\\system32\\cmd.exe /c rd ${deletions[2]:-none}" ]
else
  operations="$(pending_operations)"
  echo "  PendingFileRenameOperations: $operations"
  expected="\\??\\${install_win}uninstall.exe\\0\\0\\??\\$(winepath -w "$batch" 2>/dev/null)\\0\\0\\??\\${install_win%\\}\\0"
  check "the program, autodel.bat and the directory, in this order, each to be deleted" [ "$operations" = "$expected" ]
  check "no WININIT.INI" [ -z "$(wininit_file)" ]
  check "no RunOnce command for the directory" [ -z "$(run_once_value QELUninstDir)" ]
fi

# The next start, with nothing holding the program any more.
touch "$c/release.txt"
wait "$holder_pid" || true
holder_pid=""
wineboot -r >/dev/null 2>&1
echo "After the next start:"
check "uninstall.exe gone" [ ! -e "$install/uninstall.exe" ]
check "autodel.bat gone" [ ! -e "$batch" ]
check "the install directory gone" [ ! -e "$install" ]
check "no RunOnce value left" [ -z "$(run_once_value QELUninstTry)$(run_once_value QELUninstDir)" ]

if [ $failures -ne 0 ]; then
  echo "--- left in the install directory:"; [ -d "$install" ] && find "$install" | sed 's/^/  /'
  echo "$failures check(s) failed" >&2
  exit 1
fi
