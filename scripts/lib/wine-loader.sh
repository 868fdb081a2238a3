# shellcheck shell=bash
# Sourced by the scripts that start Windows programs: makes `wine` work on this machine.
# Sets VANTOREL_RUNS_32BIT to 1 when 32-bit Windows programs can run here, else 0 (no wine32,
# or a kernel without 32-bit support: IA32 emulation switched off, as on some virtual machines).

# Whether this machine runs 32-bit Windows programs: Wine's 32-bit loader starts.
wine_loader_runs_32bit() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

if wine_loader_runs_32bit; then
  export VANTOREL_RUNS_32BIT=1
else
  export VANTOREL_RUNS_32BIT=0
  # Debian's `wine` prefers the 32-bit loader whenever wine32 is installed, and where the kernel
  # refuses 32-bit code it then starts nothing, not even a 64-bit program: go straight to the
  # 64-bit loader, for our own calls and for Wine's tools (wineboot, winepath), which call
  # wine-stable.
  if [ -x /usr/lib/wine/wine64 ] && [ -e /usr/lib/wine/wine ] && [ -z "${VANTOREL_WINE_SHIM:-}" ]; then
    VANTOREL_WINE_SHIM=$(mktemp -d "${TMPDIR:-/tmp}/vantorel-wine-bin.XXXXXX")
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$VANTOREL_WINE_SHIM/wine"
    chmod +x "$VANTOREL_WINE_SHIM/wine"
    ln -s wine "$VANTOREL_WINE_SHIM/wine-stable"
    export VANTOREL_WINE_SHIM VANTOREL_WINE_SHIM_OWNER=$$ WINELOADER=/usr/lib/wine/wine64
    export PATH="$VANTOREL_WINE_SHIM:$PATH"
  fi
fi
