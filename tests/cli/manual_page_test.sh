#!/bin/sh
# Every option that PROGRAM --help names is described in the manual page PAGE (roff, "\-" for "-").
set -eu
program=$1
page=$2
text=$(sed 's/\\-/-/g' "$page")
found_all=0
for option in $("$program" --help | grep -oE '(^|[][ |])--?[a-z][a-z-]*' | tr -d '[]| ' | sort -u); do
  if ! printf '%s\n' "$text" | grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)"; then
    echo "$page does not describe $option, which --help names"
    found_all=1
  fi
done
exit $found_all
