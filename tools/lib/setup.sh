# Shared by tools/test, tools/demo and tools/bench: packages, builds, the Wine prefix and the display.
# shellcheck shell=bash

ROOT="${here:?}"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR="$ROOT/$BUILD_DIR" ;; esac
SHIP_BUILD="$BUILD_DIR/ship"
TEST_BUILD="$BUILD_DIR/test"
FUZZ_BUILD="$BUILD_DIR/fuzz"
export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

PACKAGES_HOST=(cmake make g++-mingw-w64-i686 googletest xvfb x11-apps imagemagick xauth python3
               clang libclang-rt-14-dev)
PACKAGES_I386=(wine wine32:i386)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

ensure_packages() {
  local missing=()
  for p in "${PACKAGES_HOST[@]}" "${PACKAGES_I386[@]}" "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    missing+=(wine32:i386)
  fi
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

build_fuzz() {
  cmake -S "$ROOT/tests/fuzz" -B "$FUZZ_BUILD" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$FUZZ_BUILD" -j"$(nproc)"
}

build_all() {
  build_fuzz
  cmake -S "$ROOT" -B "$SHIP_BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/i686-w64-mingw32-win32.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$SHIP_BUILD" -j"$(nproc)"
  cmake -S "$ROOT" -B "$TEST_BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/i686-w64-mingw32-posix.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DUNINST_TESTS=ON -DUNINST_SHIP_DIR="$SHIP_BUILD" \
        -DUNINST_FUZZ_DIR="$FUZZ_BUILD" -DUNINST_FUZZ_SECONDS="${FUZZ_SECONDS:-10}" >/dev/null
  cmake --build "$TEST_BUILD" -j"$(nproc)"
}

wine_reg() {
  wine 'C:\windows\system32\reg.exe' "$@" >/dev/null
}

# A fresh 32-bit prefix set to Windows 98, made once per build tree and copied from then on.
make_prefix() {
  local template="$BUILD_DIR/wineprefix-template"
  if [ ! -f "$template/.ready" ]; then
    rm -rf "$template"
    WINEPREFIX="$template" wineboot -i >/dev/null 2>&1
    WINEPREFIX="$template" wine_reg add 'HKCU\Software\Wine' /v Version /d win98 /f
    WINEPREFIX="$template" wine_reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    WINEPREFIX="$template" wineserver -w
    touch "$template/.ready"
  fi
  rm -rf "$WINEPREFIX"
  cp -a "$template" "$WINEPREFIX"
}

start_platform() {
  # Xvfb picks a free display itself and writes its number to fd 3.
  local fifo; fifo="$(mktemp -u)"; mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local n; read -r n <"$fifo"; rm -f "$fifo"
  export DISPLAY=":$n"
  make_prefix
  # Keep this prefix's server alive for the run: an idle server would exit, and the next
  # start would run whatever RunOnce entries a test left.
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 || true
}

stop_platform() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
}
