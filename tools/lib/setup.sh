# Shared by tools/test, tools/demo, tools/bench and tools/fuzz: the lane, packages, builds,
# the Wine prefix and the display.
# shellcheck shell=bash
#
# Two lanes run the same tests. Where this host runs 32-bit programs, the shipped i686 binaries
# run under 32-bit Wine. Where it cannot, an x86_64 build of the same sources runs under 64-bit
# Wine in a win64 prefix set to Windows 98; the shipped i686 binaries are then still built and
# checked statically (pe_check, cpu_check). UNINST_ARCH=i686|x86_64 forces a lane. Each lane has
# its own build trees and prefixes: the i686 lane build/test and build/wineprefix, the x86_64
# lane everything below build/x86_64. The shipped binaries are always in build/ship.

ROOT="${here:?}"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR="$ROOT/$BUILD_DIR" ;; esac
SHIP_BUILD="$BUILD_DIR/ship"
FUZZ_BUILD="$BUILD_DIR/fuzz"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

PACKAGES_HOST=(cmake make g++-mingw-w64-i686 googletest xvfb x11-apps imagemagick xauth python3
               clang libclang-rt-14-dev fonts-wine ccache)
PACKAGES_I686=(wine wine32:i386)
PACKAGES_X86_64=(wine wine64 g++-mingw-w64-x86-64)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# ---- The lane ------------------------------------------------------------------------------

# Runs a 96-byte static i386 ELF program that exits with 42: the host runs 32-bit programs only
# if that works. Nothing needs to be installed to find out.
host_runs_32bit() {
  # In the build tree, since /tmp may be mounted without the right to run programs.
  mkdir -p "$BUILD_DIR"
  local probe; probe="$(mktemp "$BUILD_DIR/probe-i386.XXXXXX")"
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'`
        `'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'`
        `'\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'`
        `'\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08'`
        `'\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00'`
        `'\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  local status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" -eq 42 ] || return 1
  # A 32-bit program that ran through qemu (binfmt_misc) ran, but 32-bit Wine is unusably slow there.
  if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
    QEMU_I386=yes
    return 1
  fi
  return 0
}

select_lane() {
  local runs32=no reason
  QEMU_I386=no
  host_runs_32bit && runs32=yes
  if [ "$runs32" = yes ]; then
    reason="this host runs 32-bit programs"
  elif [ "$QEMU_I386" = yes ]; then
    reason="this host runs 32-bit programs only through qemu"
  else
    reason="this host runs no 32-bit programs"
  fi
  case "${UNINST_ARCH:-}" in
    "") LANE=$([ "$runs32" = yes ] && echo i686 || echo x86_64) ;;
    i686)
      if [ "$runs32" != yes ]; then
        echo "UNINST_ARCH=i686 asks for 32-bit Wine, but $reason: unset it to test the x86_64 build." >&2
        exit 1
      fi
      LANE=i686; reason="forced by UNINST_ARCH" ;;
    x86_64) LANE=x86_64; reason="forced by UNINST_ARCH; $reason" ;;
    *) echo "UNINST_ARCH must be i686 or x86_64, not '$UNINST_ARCH'." >&2; exit 1 ;;
  esac
  if [ "$LANE" = i686 ]; then
    LANE_DIR="$BUILD_DIR"
    RUN_SHIP="$SHIP_BUILD"
    LANE_LINE="ran: the shipped i686 binaries under 32-bit Wine ($reason)"
    export WINEARCH=win32
  else
    LANE_DIR="$BUILD_DIR/x86_64"
    RUN_SHIP="$LANE_DIR/ship"
    LANE_LINE="ran: x86_64 build under 64-bit Wine ($reason); the shipped i686 binaries were checked statically"
    export WINEARCH=win64
    # The wrapper /usr/bin/wine prefers the 32-bit loader whenever wine32 is installed: every
    # wine command of the run, the tests' scripts included, goes to the 64-bit one instead.
    export WINELOADER=/usr/lib/wine/wine64
    export WINESERVER=/usr/lib/wine/wineserver64
    export PATH="$LANE_DIR/bin:$PATH"
  fi
  TEST_BUILD="$LANE_DIR/test"
  export WINEPREFIX="$LANE_DIR/wineprefix"
}

# The x86_64 lane's wine, wineboot, winepath and wineserver: the 64-bit programs.
write_wine64_shims() {
  local bin="$LANE_DIR/bin"
  mkdir -p "$bin"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$bin/wine"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$bin/wine64"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 wineboot.exe "$@"\n' >"$bin/wineboot"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 winepath.exe "$@"\n' >"$bin/winepath"
  printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 "$@"\n' >"$bin/wineserver"
  chmod +x "$bin"/*
}

select_lane

# ---- Packages ------------------------------------------------------------------------------

# Installs the packages; a failed index of `apt-get update` does not stop it by itself, and an
# install that cannot be resolved is tried again with the release's own versions. One line says
# what happened.
apt_install() {
  local log; log="$(mktemp)"
  local update="package index updated" status=0
  as_root apt-get update -qq >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ] || grep -q '^E: ' "$log"; then
    update="apt-get update reported failed indexes (status $status), ignored"
  fi
  local how="installed"
  if ! as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "$@" >>"$log" 2>&1; then
    local codename; codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
    how="installed with the release's own versions (-t $codename) after the first try failed"
    if [ -z "$codename" ] ||
       ! as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
           -t "$codename" "$@" >>"$log" 2>&1; then
      tail -20 "$log" >&2
      echo "packages: could not install $* ($update); see the lines above" >&2
      rm -f "$log"
      exit 1
    fi
  fi
  rm -f "$log"
  echo "packages: $how: $* ($update)"
}

ensure_packages() {
  local lane_packages=("${PACKAGES_X86_64[@]}")
  [ "$LANE" = i686 ] && lane_packages=("${PACKAGES_I686[@]}")
  local missing=()
  for p in "${PACKAGES_HOST[@]}" "${lane_packages[@]}" "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  # Only the i686 lane needs i386 packages; the x86_64 lane never adds the architecture.
  if [ "$LANE" = i686 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    missing+=(wine32:i386)
  fi
  if [ ${#missing[@]} -gt 0 ]; then
    apt_install "${missing[@]}"
  fi
  if [ "$LANE" = x86_64 ]; then write_wine64_shims; fi
}

# ---- Builds --------------------------------------------------------------------------------

# Every compile goes through ccache, whose cache lies outside the clone (ccache's own default in
# the home directory), so that a fresh clone on the same machine reuses the work of the last one;
# paths below the clone are hashed relative to it.
export CCACHE_BASEDIR="$ROOT"
export CCACHE_NOHASHDIR=1
CCACHE_ARGS=()
use_ccache() {
  if command -v ccache >/dev/null 2>&1; then
    CCACHE_ARGS=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
}

build_fuzz() {
  cmake -S "$ROOT/tests/fuzz" -B "$FUZZ_BUILD" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
        "${CCACHE_ARGS[@]}" >/dev/null
  cmake --build "$FUZZ_BUILD" -j"$(nproc)"
}

# A tree configured like the shipped one, with the given toolchain.
build_ship_tree() {
  local tree="$1" toolchain="$2"
  cmake -S "$ROOT" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release "${CCACHE_ARGS[@]}" >/dev/null
  cmake --build "$tree" -j"$(nproc)"
}

build_all() {
  use_ccache
  build_fuzz
  # What ships, in every lane.
  build_ship_tree "$SHIP_BUILD" i686-w64-mingw32-win32
  if [ "$LANE" = x86_64 ]; then
    build_ship_tree "$RUN_SHIP" x86_64-w64-mingw32-win32
  fi
  cmake -S "$ROOT" -B "$TEST_BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$LANE-w64-mingw32-posix.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DUNINST_TESTS=ON -DUNINST_SHIP_DIR="$RUN_SHIP" \
        -DUNINST_RELEASE_DIR="$SHIP_BUILD" \
        -DUNINST_FUZZ_DIR="$FUZZ_BUILD" -DUNINST_FUZZ_SECONDS="${FUZZ_SECONDS:-10}" "${CCACHE_ARGS[@]}" >/dev/null
  cmake --build "$TEST_BUILD" -j"$(nproc)"
}

# ---- The prefix and the display ------------------------------------------------------------

wine_reg() {
  wine 'C:\windows\system32\reg.exe' "$@" >/dev/null
}

# The lane's template prefix set to Windows 98, made once per build tree: every test runs in a
# private overlay of it (tools/lib/wine-test), the demo and the benchmark in a copy.
make_template() {
  TEMPLATE_PREFIX="$LANE_DIR/wineprefix-template"
  local template="$TEMPLATE_PREFIX"
  if [ ! -f "$template/.ready" ]; then
    rm -rf "$template"
    WINEPREFIX="$template" wineboot -i >/dev/null 2>&1
    # Wine's own Marlett (fonts-wine) where this Wine looks for fonts, in the prefix: without it
    # the caption's close box shows an "r". (Its other fonts stay out: Wine draws its MS Sans
    # Serif narrower than it measures it for wrapping, and the pages' texts would be clipped.)
    cp /usr/share/wine/fonts/marlett.ttf "$template/drive_c/windows/Fonts/" 2>/dev/null || true
    WINEPREFIX="$template" wine_reg add 'HKCU\Software\Wine' /v Version /d win98 /f
    WINEPREFIX="$template" wine_reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    WINEPREFIX="$template" wineserver -k 2>/dev/null || true
    WINEPREFIX="$template" wineserver -w
    touch "$template/.ready"
  fi
}

# A fresh copy of the template in WINEPREFIX.
make_prefix() {
  make_template
  rm -rf "$WINEPREFIX"
  cp -a "$TEMPLATE_PREFIX" "$WINEPREFIX"
}

# Starts a private display; sets DISPLAY. Set `trap stop_platform EXIT` first.
start_display() {
  # Xvfb picks a free display itself and writes its number to fd 3.
  local fifo; fifo="$(mktemp -u)"; mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local n=""
  read -r -t 60 n <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$n" ]; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$n"
}

# Starts a private display, then the prefix's server. Set `trap stop_platform EXIT` first: a start
# that fails half-way still leaves what it started to stop_platform.
start_platform() {
  start_display
  make_prefix
  # Keep this prefix's server alive for the run: an idle server would exit, and the next
  # start would run whatever RunOnce entries a test left.
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 || true
}

# The tests' platform: a private display and the template prefix, which every test sees through
# an overlay of its own (tools/lib/wine-test), with a server of its own. No server runs on the
# template itself, so that it never changes under the tests.
start_test_platform() {
  start_display
  make_template
  export UNINST_TEMPLATE_PREFIX="$TEMPLATE_PREFIX"
  export UNINST_PREFIX_SCRATCH="$LANE_DIR/test-prefixes"
  rm -rf "$UNINST_PREFIX_SCRATCH"
  mkdir -p "$UNINST_PREFIX_SCRATCH"
  # Nothing may run wine on the template: a stray call lands in a prefix nobody uses.
  export WINEPREFIX="$UNINST_PREFIX_SCRATCH/unused"
}

# The servers and processes of the tests' private prefixes that a killed test left behind.
stop_test_prefixes() {
  local scratch="${UNINST_PREFIX_SCRATCH:-}" pid
  [ -n "$scratch" ] && [ -d "$scratch" ] || return 0
  for pid in $(pgrep -f 'wine' 2>/dev/null); do
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -q "^WINEPREFIX=$scratch/"; then
      kill -9 "$pid" 2>/dev/null || true
    fi
  done
  rm -rf "$scratch"
}

stop_platform() {
  stop_test_prefixes
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}
