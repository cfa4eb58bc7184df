# Sourced by the scripts that run Windows programs under Wine
# (tools/windows-tests, tools/run-windows, tools/screenshot-windows):
#   source tools/wine-env.sh BUILD_FOLDER PURPOSE   (from the source folder,
#                                                    BUILD_FOLDER absolute)
# It picks the Windows build this machine can run and sets one Wine policy:
#   WINE        the Wine loader to start programs with
#   WINE_TREE   the CMake tree of that build (BUILD_FOLDER/win32 or /win64)
#   WINE_BUILD  "32-bit" or "64-bit", for messages
#   WINEPREFIX  a prefix of its own per purpose and build, under BUILD_FOLDER,
#               so no run changes another's settings or the user's ~/.wine
#   WINEDEBUG, WINEDLLOVERRIDES  quiet, and no .NET or Gecko install prompt,
#               unless the caller set them
#
# The shipped program is 32-bit. Some virtual machines run kernels without
# 32-bit user mode, where no 32-bit program starts, Wine's included; there the
# 64-bit build of the same sources runs under wine64 instead, and
# wine_build_tree builds it. VELKRANE_WINE64=1 takes that path on any machine.

wine_build_folder=${1:?build folder}
wine_purpose=${2:?purpose}

wine_fail() {
  echo "$*" >&2
  exit 1
}

[[ -x /usr/lib/wine/wine && -x /usr/lib/wine/wine64 ]] ||
  wine_fail "Wine is missing: install it with tools/install-deps wine"
if [[ "${VELKRANE_WINE64:-0}" != 1 ]] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  WINE=/usr/lib/wine/wine
  WINE_TREE=$wine_build_folder/win32
  WINE_BUILD=32-bit
  wine_toolchain=cmake/mingw-i686.cmake
else
  WINE=/usr/lib/wine/wine64
  WINE_TREE=$wine_build_folder/win64
  WINE_BUILD=64-bit
  wine_toolchain=cmake/mingw-x86_64.cmake
  if [[ "${VELKRANE_WINE64:-0}" == 1 ]]; then
    echo "note: VELKRANE_WINE64=1: using the 64-bit Windows build under wine64"
  else
    echo "note: this kernel cannot run 32-bit programs; using the 64-bit Windows build under wine64"
  fi
fi

export WINEPREFIX=$wine_build_folder/wineprefix-$wine_purpose-$(basename "$WINE_TREE")
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

# Builds TARGETs (all when none) of the 64-bit tree; the 32-bit tree is the
# one `make windows` / `make test-windows` build, so it is left alone.
wine_build_tree() {
  [[ "$WINE_BUILD" == 64-bit ]] || return 0
  cmake -S . -B "$WINE_TREE" -DCMAKE_TOOLCHAIN_FILE="$wine_toolchain" \
    -DVELKRANE_TESTS=ON >/dev/null
  local targets=()
  for target in "$@"; do targets+=(--target "$target"); done
  cmake --build "$WINE_TREE" -j "${JOBS:-2}" "${targets[@]}"
}

# Ends the Wine processes of this prefix, such as a wineserver left waiting.
wine_stop() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
}
