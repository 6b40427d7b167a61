#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of the build's own that is made on first use with the
# first-run installers turned off. CMake uses it to run the cross-built tests. Headless, unless
# OMBRIX_WINE_DISPLAY names the X display where the tests of the window open their windows.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/ombrix-wine-prefix}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
export DISPLAY=${OMBRIX_WINE_DISPLAY:-}
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
exec "$wine" "$@"
