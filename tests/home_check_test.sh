#!/usr/bin/env bash
# The guard make test runs each suite under (tools/home-unchanged) fails a
# run that writes into the home folder, names what it wrote, and passes the
# run's own status on; tools/own-home keeps a test's writes out of it.
# Usage: tests/home_check_test.sh <source folder>
set -uo pipefail
tools=${1:?usage: $0 <source folder>}/tools
failures=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Each case: the exit status wanted, a text the report must hold ("" for
# none at all), what the run does. An XDG folder set outside the home is no
# way around the check: each run gets one, and nothing may land there.
while IFS='|' read -r want_status want_text run; do
  report=$(XDG_CONFIG_HOME=$scratch/config "$tools/home-unchanged" \
    bash -c "$run" 2>&1 >/dev/null)
  status=$?
  if [[ $status -ne $want_status || -e $scratch/config ]] ||
    { [[ -n "$want_text" ]] && [[ "$report" != *"$want_text"* ]]; } ||
    { [[ -z "$want_text" ]] && [[ -n "$report" ]]; }; then
    echo "FAIL: '$run': status $status (want $want_status), report: '$report'" >&2
    failures=$((failures + 1))
  fi
  rm -rf "$scratch/config"
done <<TABLE
1|~/.config/gtk-2.0/gtkfilechooser.ini|mkdir -p ~/.config/gtk-2.0 && touch ~/.config/gtk-2.0/gtkfilechooser.ini
1|~/.local/share/recently-used.xbel|echo x >"\$HOME/.local/share/recently-used.xbel"
1|~/.cache|touch -d 2001-01-01 ~/.cache
1|~/|mkdir ~/.fltk && rmdir ~/.fltk
1|~/.config/x|mkdir -p "\${XDG_CONFIG_HOME:-\$HOME/.config}/x"
0||ls -a ~ ~/.config >/dev/null && cat ~/.config/none 2>/dev/null; true
3||exit 3
0||$tools/own-home bash -c 'mkdir -p ~/.wine "\$XDG_CONFIG_HOME/gtk-2.0" && touch ~/.wine/x'
TABLE

[[ $failures -eq 0 ]] && echo "home check: all cases passed"
exit $((failures > 0))
