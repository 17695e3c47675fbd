#!/bin/sh
# Runs the Windows program $VEXLO_WINDOWS_EXE under Wine with the arguments
# given (see wine_session.sh).
exec "${WINE:-/usr/lib/wine/wine64}" "$VEXLO_WINDOWS_EXE" "$@"
