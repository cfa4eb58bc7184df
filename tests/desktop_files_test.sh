#!/usr/bin/env bash
# The Linux desktop entry and the icon files: the entry is valid, names a
# MIME type this system's shared MIME database defines and an icon that
# exists in every size, and each picture decodes to the size it claims and
# is drawn.
# Usage: tests/desktop_files_test.sh <source folder>
set -uo pipefail

source_dir=${1:?usage: $0 <source folder>}
desktop=$source_dir/ui/fltk/desktop
entry=$desktop/velkrane.desktop
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# desktop-file-validate exits 0 on hints too; any output is a finding.
report=$(desktop-file-validate "$entry" 2>&1)
[[ $? -eq 0 && -z "$report" ]] || fail "desktop-file-validate: $report"

value() { sed -n "s/^$1=//p" "$entry"; }
[[ $(value Exec) == "velkrane %F" ]] || fail "Exec is '$(value Exec)'"
[[ ";$(value Categories)" == *";Graphics;"* && ";$(value Categories)" == *";Photography;"* ]] ||
  fail "Categories is '$(value Categories)'"
IFS=';' read -ra types <<<"$(value MimeType)"
[[ ${#types[@]} -gt 0 ]] || fail "no MimeType"
for type in "${types[@]}"; do
  [[ -f /usr/share/mime/$type.xml ]] || fail "MIME type $type is not in /usr/share/mime"
  grep -qix "$type:\*\.x3f" /usr/share/mime/globs ||
    fail "MIME type $type is not the one for *.x3f"
done

# size, then the file; identify decodes each image, PNG entries of an .ico too.
# Each picture is drawn: over a third of its pixels are not fully transparent.
check_sizes() {
  local file=$1 want=$2 got painted
  got=$(identify -format '%w %h %A\n' "$file" 2>&1 | tr '\n' ' ')
  [[ "$got" == "$want" ]] || fail "$file: got '$got', want '$want'"
  painted=$(convert "$file" -alpha extract -threshold 0 -format '%[fx:mean>1/3]' info: 2>&1)
  [[ "$painted" =~ ^1+$ ]] || fail "$file: pictures drawn (1) or blank (0): '$painted'"
}
icon=$(value Icon)
for size in 16 22 24 32 48 64 128 256; do
  check_sizes "$desktop/icons/hicolor/${size}x${size}/apps/$icon.png" "$size $size True "
done
check_sizes "$source_dir/ui/win32/velkrane.ico" \
  "$(for s in 16 20 24 32 40 48 64 256; do printf '%s %s True ' $s $s; done)"
check_sizes "$source_dir/ui/win32/header.ico" \
  "$(for s in 16 32 48 64; do printf '%s %s True ' $s $s; done)"

[[ $failures -eq 0 ]] && echo "desktop entry and icons: all checks passed"
exit $((failures > 0))
