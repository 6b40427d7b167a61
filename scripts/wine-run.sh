#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in a prefix of the build's own that is made on first use
# with the first-run installers turned off. CMake uses it to run the cross-built tests.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/ombrix-wine-prefix}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
export DISPLAY=
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
exec "$wine" "$@"
