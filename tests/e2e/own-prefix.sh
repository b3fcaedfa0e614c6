# Sourced by the restart tests: a prefix with a server of its own, so that a restart there runs
# only its own RunOnce entries and ends only its own windows.
# Sets `prefix` and exports WINEPREFIX; the copy and its server go when the script exits. A
# script that needs more clean-up defines `extra_cleanup` before sourcing this file.
# shellcheck shell=bash

# Run through tools/lib/wine-test --shell, the prefix is already a private one with its server
# running (UNINST_PRIVATE_PREFIX); run by hand, the script copies the prefix in WINEPREFIX.
: "${WINEPREFIX:?the test prefix to copy}" "${DISPLAY:?every wine call needs the display of the test run}"
if [ -n "${UNINST_PRIVATE_PREFIX:-}" ]; then
  prefix="$WINEPREFIX"
  cleanup() {
    if declare -F extra_cleanup >/dev/null; then extra_cleanup || true; fi
  }
  trap cleanup EXIT
else
  prefix="$(mktemp -d "${TMPDIR:-/tmp}/uninst-${1:-prefix}.XXXXXX")"
  cleanup() {
    if declare -F extra_cleanup >/dev/null; then extra_cleanup || true; fi
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
    rm -rf "$prefix"
  }
  trap cleanup EXIT
  cp -a "$WINEPREFIX/." "$prefix/"
  export WINEPREFIX="$prefix"
  # Keep this prefix's server until the test ends it: an idle server would exit, and the next
  # start would run the RunOnce entries without any restart.
  wineserver -p
fi

install_win='C:\Program Files\Morwa Antivirus\'
install="$prefix/drive_c/Program Files/Morwa Antivirus"
run_once='HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce'

wine_quiet() { wine "$@" >/dev/null 2>&1; }
reg() { wine 'C:\windows\system32\reg.exe' "$@" 2>/dev/null | tr -d '\r'; }

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what="$1"; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what" >&2; failures=$((failures + 1)); fi
}
# Waits at most 30 s until every path exists (+) or is gone (-).
wait_for() {
  local deadline=$((SECONDS + 30)) want="$1" path; shift
  while [ $SECONDS -lt $deadline ]; do
    for path in "$@"; do
      if [ "$want" = + ] && [ ! -e "$path" ]; then sleep 0.1; continue 2; fi
      if [ "$want" = - ] && [ -e "$path" ]; then sleep 0.1; continue 2; fi
    done
    return 0
  done
  return 1
}
# Waits for the self-removal batch (the command interpreter running autodel.bat, which Wine shows
# with its Windows command line) to end, so that what it removes is looked at once it is done;
# false when it still runs after 120 s.
batch_ends() {
  local _ pid running
  for _ in $(seq 1 1200); do
    running=no
    for pid in $(pgrep -f -i 'autodel\.bat'); do
      # Only this prefix's batch: other tests run beside this one.
      if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$prefix"; then running=yes; fi
    done
    [ "$running" = no ] && return 0
    sleep 0.1
  done
  return 1
}
# Waits at most 30 s for a host process to end; true when it has.
process_ends() {
  local _
  for _ in $(seq 1 300); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}
