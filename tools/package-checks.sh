# Sourced by the package tests (tools/test-deb, tools/test-windows-packages):
# a findings count, a small X3F with junk behind it, and a wait for a window.

package_failures=0
fail() {
  echo "FAIL: $*" >&2
  package_failures=$((package_failures + 1))
}

# Ends the test: its verdict, and 1 when anything failed.
finish() {
  if [[ $package_failures -eq 0 ]]; then
    echo "$1: all checks passed"
  else
    echo "$1: $package_failures check(s) failed" >&2
  fi
  exit $((package_failures > 0))
}

# A complete 60-byte X3F (the "FOVb" header, one PROP section, the directory
# listing it, its offset) and 40 bytes of junk behind it: repaired, it is the
# 60 bytes in sample_expected.
write_sample_x3f() {
  local path=$1
  {
    printf 'FOVb\0\0\0\0\0\0\0\0\0\0\0\0'
    printf 'SECp0123456789AB'
    printf 'SECd\0\0\2\0\1\0\0\0\20\0\0\0\20\0\0\0PROP\40\0\0\0'
  } >"$path.expected"
  cat "$path.expected" >"$path"
  printf 'JUNK%.0s' {1..10} >>"$path"
  sample_expected=$path.expected
}

# Waits up to 60 seconds for a visible window whose class or name matches
# (xdotool's --class/--name and a pattern); prints its id.
wait_for_window() {
  timeout 60 xdotool search --sync --onlyvisible "$1" "$2" 2>/dev/null | head -n 1
}
