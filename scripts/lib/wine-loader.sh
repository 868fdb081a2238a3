# shellcheck shell=bash
# Sourced by the scripts that start Windows programs: makes `wine` work on this machine and
# chooses how 32-bit Windows programs run here. Sets
#   VANTOREL_32BIT_WAY   native: the kernel runs 32-bit code;
#                        qemu: it does not, and 32-bit code runs under qemu-i386, registered in
#                          a private binfmt_misc of a user namespace (wine_loader_enter);
#                        none: neither (no wine32, no qemu-user 8 or later, or no user
#                          namespaces): 64-bit programs only.
#   VANTOREL_RUNS_32BIT  1 unless the way is none.
# VANTOREL_32BIT=native|qemu|none, set by the caller, forces a way (qemu where the kernel runs
# 32-bit code too, to try that way on such a machine).

wine_loader_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Wine's 32-bit loader starts, natively or through a binfmt registration of this namespace.
wine_loader_runs_32bit() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The qemu-i386 that runs Wine's 32-bit side: older ones cannot map Wine's shared user data.
wine_loader_qemu() {
  local qemu=/usr/bin/qemu-i386 major
  [ -x "$qemu" ] || return 1
  major=$("$qemu" --version 2>/dev/null | sed -nE '1s/^qemu-i386 version ([0-9]+)\..*/\1/p')
  [ -n "$major" ] && [ "$major" -ge 8 ] || return 1
  echo "$qemu"
}

# Whether this machine can make the private namespace: user namespaces, and a kernel (6.7 or
# later) that gives each of them its own binfmt_misc.
wine_loader_namespace_works() {
  [ -x /usr/lib/wine/wine ] && wine_loader_qemu >/dev/null &&
    unshare --user --map-root-user --mount \
      bash "$wine_loader_dir/binfmt-namespace.sh" "$(wine_loader_qemu)" \
      /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Re-runs the calling script inside the private namespace when 32-bit code runs only there:
#   wine_loader_enter scripts/NAME.sh "$@"     (from the root of the sources)
# Once per command: the scripts it starts inherit the namespace and do not enter again.
wine_loader_enter() {
  [ -z "${VANTOREL_IN_BINFMT_NAMESPACE:-}" ] || return 0
  case "${VANTOREL_32BIT:-}" in
    native | none) return 0 ;;
    qemu) ;;
    *) ! wine_loader_runs_32bit || return 0 ;;
  esac
  wine_loader_namespace_works || return 0
  # The namespace chooses its own way and makes its own shim.
  if [ "${VANTOREL_WINE_SHIM_OWNER:-}" = $$ ]; then
    rm -rf "$VANTOREL_WINE_SHIM"
    PATH=${PATH#"$VANTOREL_WINE_SHIM:"}
    unset VANTOREL_WINE_SHIM VANTOREL_WINE_SHIM_OWNER
  fi
  exec unshare --user --map-root-user --mount \
    bash "$wine_loader_dir/binfmt-namespace.sh" "$(wine_loader_qemu)" "$@"
}

if [ -n "${VANTOREL_IN_BINFMT_NAMESPACE:-}" ] && wine_loader_runs_32bit; then
  VANTOREL_32BIT_WAY=qemu
elif [ "${VANTOREL_32BIT:-}" != none ] && [ "${VANTOREL_32BIT:-}" != qemu ] &&
  wine_loader_runs_32bit; then
  VANTOREL_32BIT_WAY=native
else
  VANTOREL_32BIT_WAY=none
fi
export VANTOREL_32BIT_WAY
if [ "$VANTOREL_32BIT_WAY" = none ]; then export VANTOREL_RUNS_32BIT=0; else export VANTOREL_RUNS_32BIT=1; fi

# Debian's `wine` prefers the 32-bit loader whenever wine32 is installed. Where the kernel
# refuses 32-bit code it then starts nothing, not even a 64-bit program; under qemu it would
# start every 64-bit program through the emulated loader. So, but where 32-bit code runs
# natively, our own calls and Wine's tools (wineboot, winepath, which call wine-stable) go
# straight to the 64-bit loader, which hands a 32-bit program to the 32-bit one itself. A 32-bit
# prefix (WINEARCH=win32) has only the 32-bit loader.
if [ "$VANTOREL_32BIT_WAY" != native ] && [ -x /usr/lib/wine/wine64 ] &&
  [ -e /usr/lib/wine/wine ] && [ -z "${VANTOREL_WINE_SHIM:-}" ]; then
  VANTOREL_WINE_SHIM=$(mktemp -d "${TMPDIR:-/tmp}/vantorel-wine-bin.XXXXXX")
  cat >"$VANTOREL_WINE_SHIM/wine" <<'SHIM'
#!/bin/sh
loader=/usr/lib/wine/wine64
[ "$WINEARCH" != win32 ] || loader=/usr/lib/wine/wine
WINELOADER=$loader exec "$loader" "$@"
SHIM
  chmod +x "$VANTOREL_WINE_SHIM/wine"
  ln -s wine "$VANTOREL_WINE_SHIM/wine-stable"
  export VANTOREL_WINE_SHIM VANTOREL_WINE_SHIM_OWNER=$$
  export PATH="$VANTOREL_WINE_SHIM:$PATH"
fi
