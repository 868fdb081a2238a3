# shellcheck shell=bash
# Sourced by scripts/release.sh and tests/release/run.sh: turns the two Windows builds into the
# release files. Everything that goes into them is fixed by the sources and the last commit's
# date, so the same commit gives the same bytes wherever and whenever it is packed.
#
#   release_pack WIN64_BUILD WIN32_BUILD OUT_DIR
#       writes OUT_DIR/vantorel-X.Y.Z-win64.zip, -win32.zip, -setup.exe and SHA256SUMS
#   release_installer STAGE64 STAGE32 OUT_FILE
#       the installer from two unpacked archive folders
#
# SOURCE_DATE_EPOCH, when set, gives the date of every packed file; otherwise the last commit's.

release_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

release_fail() {
  echo "release: $*" >&2
  return 1
}

# The four-part version of the project() line in the top CMakeLists.txt: the one definition.
release_version() {
  local version
  version=$(sed -nE 's/^[[:space:]]*project\([[:space:]]*vantorel[[:space:]]+VERSION[[:space:]]+([0-9]+(\.[0-9]+){3})[[:space:]].*/\1/p' \
    "$release_root/CMakeLists.txt")
  [ -n "$version" ] || release_fail "no four-part version in the project() line of CMakeLists.txt" || return
  echo "$version"
}

# The three-part version used in file names: 1.1.0.0 -> 1.1.0.
release_short_version() {
  local version
  version=$(release_version) || return
  echo "${version%.*}"
}

release_source_date_epoch() {
  if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    echo "$SOURCE_DATE_EPOCH"
  elif git -C "$release_root" rev-parse --git-dir >/dev/null 2>&1; then
    git -C "$release_root" log -1 --format=%ct
  else
    release_fail "not a git checkout: set SOURCE_DATE_EPOCH to the date of the sources"
  fi
}

# A text macro of resources/product.h, e.g. VANTOREL_WEB_PAGE.
release_product_text() {
  local value
  value=$(sed -nE "s/^#define $1 \"(.*)\"\$/\\1/p" "$release_root/resources/product.h")
  [ -n "$value" ] || release_fail "no $1 in resources/product.h" || return
  echo "$value"
}

# Fails unless BUILD holds a program of MACHINE (pei-x86-64 or pei-i386) that was built from
# this version, imports only DLLs that come with Windows and carries no link date.
release_check_build() {
  local build=$1 format=$2 objdump=$3
  local exe="$build/vantorel.exe" file
  for file in vantorel.exe vantorelhelp.chm generated/version.h; do
    [ -f "$build/$file" ] || release_fail "missing $build/$file" || return
  done
  local built_version
  built_version=$(sed -nE 's/^#define VANTOREL_VERSION_STRING "(.*)"$/\1/p' "$build/generated/version.h")
  [ "$built_version" = "$(release_version)" ] ||
    release_fail "$build was built as version '$built_version', CMakeLists.txt says $(release_version)" ||
    return
  "$objdump" -f "$exe" | grep -q "file format $format\$" ||
    release_fail "$exe is not $format" || return
  local headers
  headers=$("$objdump" -p "$exe")
  local dll
  while read -r dll; do
    release_is_system_dll "$dll" || release_fail "$exe needs $dll, which Windows does not have" ||
      return
  done < <(sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p' <<<"$headers")
  [ "$(release_pe_timestamp "$exe")" = 0 ] ||
    release_fail "$exe carries a link date: link it with --no-insert-timestamp" || return
}

# The TimeDateStamp of a PE file's COFF header, as a number.
release_pe_timestamp() {
  local header
  header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ') || return
  od -An -tu4 -j$((header + 8)) -N4 "$1" | tr -d ' '
}

# The DLLs of every Windows the program supports; anything else would have to ship with it.
release_is_system_dll() {
  case "${1,,}" in
    kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | comdlg32.dll | shell32.dll | \
      shlwapi.dll | winmm.dll | advapi32.dll | ole32.dll | msvcrt.dll) return 0 ;;
    *) return 1 ;;
  esac
}

# Text for Windows users: CR LF line ends and the version filled in.
release_windows_text() {
  local from=$1 to=$2 version short web
  version=$(release_version) || return
  short=$(release_short_version) || return
  web=$(release_product_text VANTOREL_WEB_PAGE) || return
  sed -e "s|@VERSION@|$version|g" -e "s|@VERSION_SHORT@|$short|g" -e "s|@WEB_PAGE@|$web|g" \
    -e 's/\r$//' -e 's/$/\r/' "$from" >"$to"
}

# Fills STAGE/vantorel-X.Y.Z/ with what one archive holds, dated and permitted alike.
release_stage() {
  local build=$1 stage=$2 epoch=$3 short
  short=$(release_short_version) || return
  local folder="$stage/vantorel-$short"
  mkdir -p "$folder"
  cp "$build/vantorel.exe" "$build/vantorelhelp.chm" "$folder/"
  release_windows_text "$release_root/packaging/LICENSE.txt" "$folder/LICENSE.txt" || return
  release_windows_text "$release_root/packaging/README.txt" "$folder/README.txt" || return
  find "$stage" -type d -exec chmod 755 {} +
  find "$stage" -type f -exec chmod 644 {} +
  find "$stage" -exec touch -h -d "@$epoch" {} +
}

# A ZIP of STAGE's contents: names in byte order, no directory entries, no extra fields
# (owners, Unix times), dates in UTC.
release_zip() {
  local stage=$1 archive=$2
  rm -f "$archive"
  (
    cd "$stage" &&
      find . -type f -printf '%P\n' | LC_ALL=C sort |
      TZ=UTC zip -X -D -9 -q "$archive" -@
  )
}

# makensis adds no date of its own: the PE header keeps the fixed link date of the NSIS stub
# (that of the nsis package, the same on every run), File records the files' dates, which
# release_stage set, and the LZMA compressor is deterministic. So the installer needs no
# after-treatment such as clearing its header's TimeDateStamp.
release_installer() {
  local stage64=$1 stage32=$2 out=$3
  local version short notice web
  version=$(release_version) || return
  short=$(release_short_version) || return
  notice=$(release_product_text VANTOREL_NOTICE) || return
  web=$(release_product_text VANTOREL_WEB_PAGE) || return
  rm -f "$out"
  local log
  log=$(makensis -V2 -WX -INPUTCHARSET UTF8 \
    "-DVERSION=$version" "-DVERSION_SHORT=$short" \
    "-DSTAGE64=$stage64" "-DSTAGE32=$stage32" "-DOUTFILE=$out" \
    "-DICON=$release_root/resources/vantorel.ico" \
    "-DNOTICE=$notice" "-DWEB_PAGE=$web" \
    "$release_root/packaging/vantorel.nsi" 2>&1) || {
    echo "$log" >&2
    release_fail "makensis failed"
    return
  }
  [ -f "$out" ] || release_fail "makensis wrote no $out"
}

release_pack() {
  local build64 build32 out
  build64=$(cd "$1" && pwd) || return
  build32=$(cd "$2" && pwd) || return
  mkdir -p "$3" && out=$(cd "$3" && pwd) || return
  local short epoch
  short=$(release_short_version) || return
  epoch=$(release_source_date_epoch) || return
  release_check_build "$build64" pei-x86-64 x86_64-w64-mingw32-objdump || return
  release_check_build "$build32" pei-i386 i686-w64-mingw32-objdump || return

  local work
  work=$(mktemp -d "${TMPDIR:-/tmp}/vantorel-release.XXXXXX") || return
  # The folders' own names reach nothing in the files, so any temporary folder will do.
  local status=0
  {
    release_stage "$build64" "$work/win64" "$epoch" &&
      release_stage "$build32" "$work/win32" "$epoch" &&
      rm -f "$out/SHA256SUMS" &&
      release_zip "$work/win64" "$out/vantorel-$short-win64.zip" &&
      release_zip "$work/win32" "$out/vantorel-$short-win32.zip" &&
      release_installer "$work/win64/vantorel-$short" "$work/win32/vantorel-$short" \
        "$out/vantorel-$short-setup.exe" &&
      (cd "$out" && sha256sum "vantorel-$short-setup.exe" "vantorel-$short-win32.zip" \
        "vantorel-$short-win64.zip" >SHA256SUMS)
  } || status=$?
  rm -rf "$work"
  return "$status"
}
