#!/usr/bin/env bash
# Tests the release files of scripts/release.sh:
#   - what the archives, the installer and SHA256SUMS hold;
#   - under Wine, once in a clean 64-bit prefix and once in a clean 32-bit one: the archive of
#     that Windows unpacked into a folder with spaces in its name, then the installer as
#     shipped, the program it installed and the uninstaller;
#   - that two clean builds of the same sources in other folders give the same bytes.
# The installer is a 32-bit program, so that it runs on every Windows. Where this machine
# cannot run 32-bit programs at all (see scripts/lib/wine-loader.sh), only the 64-bit archive is
# run, and the installer's checks and the 32-bit prefix are counted as skipped.
#
#   VANTOREL_RELEASE_DIST=DIR  test the files in DIR as they are, instead of building them into
#                              dist/ with scripts/release.sh first
#   VANTOREL_RELEASE_REBUILD=0 skip the two clean builds (about half a minute)
# Uses the caller's display when DISPLAY and WINEPREFIX are set, otherwise starts its own.
# Prints "release: N passed, M failed" last and exits non-zero when anything failed.
set -uo pipefail
given_dist=
if [ -n "${VANTOREL_RELEASE_DIST:-}" ]; then
  given_dist=$(cd "$VANTOREL_RELEASE_DIST" && pwd) || exit 2
fi
cd "$(dirname "$0")/../.." || exit 2
root=$PWD

source scripts/lib/release-pack.sh
[ -z "$given_dist" ] || export VANTOREL_RELEASE_DIST=$given_dist
# Where 32-bit code runs only under qemu, everything below runs in the namespace that allows it.
source scripts/lib/wine-loader.sh
wine_loader_enter tests/release/run.sh "$@"

passed=0
failed=0
skipped=0
check() {
  local name=$1
  shift
  echo "== $name"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $name"
    return 1
  fi
}

# Says why a check fails, and fails.
problem() {
  echo "  $*"
  return 1
}

finish() {
  echo
  echo "release: $passed passed, $failed failed, $skipped skipped"
  [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
  exit
}

built_here=0
if [ -n "$given_dist" ]; then
  dist=$given_dist
else
  echo "== building the release"
  if ! scripts/release.sh; then
    failed=$((failed + 1))
    echo "FAILED: scripts/release.sh"
    finish
  fi
  dist=$root/dist
  built_here=1
fi

version=$(release_version) || exit 2
short=$(release_short_version) || exit 2
epoch=$(release_source_date_epoch) || exit 2
setup=$dist/vantorel-$short-setup.exe
folder=vantorel-$short
work=$(mktemp -d "${TMPDIR:-/tmp}/vantorel-release-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The file version of a PE file's version resource, e.g. 1.1.0.0.
pe_file_version() {
  python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(struct.pack("<I", 0xFEEF04BD))
if at < 0:
    sys.exit("no version resource")
high, low = struct.unpack_from("<II", data, at + 8)
print("%d.%d.%d.%d" % (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF))
EOF
}

# Every line ends in CR LF and no placeholder was left unfilled.
windows_text() {
  local file=$1
  [ -s "$file" ] || problem "$file is empty" || return
  [ "$(tail -c 2 "$file" | od -An -c | tr -d ' ')" = '\r\n' ] ||
    problem "$(basename "$file") does not end in CR LF" || return
  [ "$(grep -c $'\r$' "$file")" = "$(wc -l <"$file")" ] ||
    problem "$(basename "$file") has lines without CR LF" || return
  ! grep -q '@[A-Z_]*@' "$file" || problem "$(basename "$file") has an unfilled placeholder"
}

## What the files hold

checksums() {
  (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || problem "SHA256SUMS does not match" || return
  local listed
  listed=$(awk '{ print $2 }' "$dist/SHA256SUMS" | LC_ALL=C sort | tr '\n' ' ')
  [ "$listed" = "vantorel-$short-setup.exe vantorel-$short-win32.zip vantorel-$short-win64.zip " ] ||
    problem "SHA256SUMS lists: $listed"
}

# ARCH: win64 or win32. Unpacks the archive into $work/unpacked-ARCH for the later checks.
archive() {
  local arch=$1 format=$2 objdump=$3
  local zip=$dist/vantorel-$short-$arch.zip unpacked=$work/unpacked-$arch
  [ -f "$zip" ] || problem "no $zip" || return
  local names expected
  names=$(zipinfo -1 "$zip" | tr '\n' ' ')
  expected="$folder/LICENSE.txt $folder/README.txt $folder/vantorel.exe $folder/vantorelhelp.chm "
  [ "$names" = "$expected" ] || problem "holds, in this order: $names" || return
  rm -rf "$unpacked" && mkdir -p "$unpacked" && unzip -q "$zip" -d "$unpacked" || return
  # One date for all, the last commit's (zip rounds odd seconds up: DOS times count in steps of
  # two), read in UTC; no extra fields with owners or Unix times; one set of permissions.
  local want dates
  want=$(TZ=UTC date -d "@$((epoch + epoch % 2))" +%Y%m%d.%H%M%S)
  dates=$(TZ=UTC zipinfo -T "$zip" | awk 'NF >= 8 && $1 ~ /^-/ { print $7 }' | sort -u)
  [ "$dates" = "$want" ] || problem "entry dates $dates, not the commit's $want" || return
  ! zipinfo -v "$zip" | grep 'length of extra field' | grep -vq ': *0 bytes' ||
    problem "entries carry extra fields" || return
  [ "$(zipinfo "$zip" | awk '$1 ~ /^-/ { print $1 }' | sort -u)" = "-rw-r--r--" ] ||
    problem "entries have differing permissions" || return

  local exe=$unpacked/$folder/vantorel.exe
  "$objdump" -f "$exe" | grep -q "file format $format\$" || problem "vantorel.exe is not $format" ||
    return
  local dll
  for dll in $("$objdump" -p "$exe" | sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p'); do
    release_is_system_dll "$dll" || problem "vantorel.exe needs $dll, which Windows lacks" || return
  done
  [ "$(release_pe_timestamp "$exe")" = 0 ] || problem "vantorel.exe carries a link date" || return
  [ "$(pe_file_version "$exe")" = "$version" ] ||
    problem "vantorel.exe is version $(pe_file_version "$exe"), not $version" || return
  [ "$(head -c 4 "$unpacked/$folder/vantorelhelp.chm")" = ITSF ] ||
    problem "vantorelhelp.chm is no compiled help file" || return
  windows_text "$unpacked/$folder/README.txt" || return
  windows_text "$unpacked/$folder/LICENSE.txt" || return
  grep -q "^Vantorel $short"$'\r$' "$unpacked/$folder/README.txt" ||
    problem "README.txt does not begin with the version" || return
  grep -q '^MIT License' "$unpacked/$folder/LICENSE.txt" &&
    grep -q '^Copyright (c) 2026 the Vantorel developers' "$unpacked/$folder/LICENSE.txt" ||
    problem "LICENSE.txt is not the project's MIT licence" || return
  if [ "$built_here" = 1 ]; then
    cmp -s "$exe" "build/$arch/vantorel.exe" && cmp -s "$unpacked/$folder/vantorelhelp.chm" \
      "build/$arch/vantorelhelp.chm" || problem "the archive does not hold build/$arch's files"
  fi
}

installer_file() {
  [ -f "$setup" ] || problem "no $setup" || return
  # 32-bit, so that the one installer runs on 32-bit Windows too.
  i686-w64-mingw32-objdump -f "$setup" | grep -q 'file format pei-i386$' ||
    problem "the installer is not a 32-bit program" || return
  [ "$(pe_file_version "$setup")" = "$version" ] ||
    problem "the installer is version $(pe_file_version "$setup"), not $version" || return
  grep -aq 'level="requireAdministrator"' "$setup" ||
    problem "the installer does not ask for administrator rights" || return
  # Every image of the program's icon is among the installer's resources.
  python3 - "$root/resources/vantorel.ico" "$setup" <<'EOF' || problem "the installer lacks the program's icon"
import struct, sys
icon = open(sys.argv[1], "rb").read()
setup = open(sys.argv[2], "rb").read()
count = struct.unpack_from("<H", icon, 4)[0]
for number in range(count):
    size, offset = struct.unpack_from("<II", icon, 6 + 16 * number + 8)
    if icon[offset : offset + size] not in setup:
        sys.exit(1)
EOF
}

# The oldest Windows each program runs on loads it: a subsystem and OS version it accepts, and
# no imported function that it does not export (tests/release/windows-xp-exports.txt).
runs_on_oldest_windows() {
  local arch=$1 objdump=$2 oldest=$3 name=$4
  local exe=$work/unpacked-$arch/$folder/vantorel.exe
  [ -f "$exe" ] || problem "no unpacked $arch program" || return
  local headers field value
  headers=$("$objdump" -p "$exe") || problem "$objdump cannot read $exe" || return
  for field in OSystemVersion SubsystemVersion; do
    value=$(awk -v f="$field" '
      $1 == "Major" f { major = $2 } $1 == "Minor" f { minor = $2 } END { print major "." minor }' \
      <<<"$headers")
    [ "$(printf '%s\n%s\n' "$value" "$oldest" | sort -V | tail -n 1)" = "$oldest" ] ||
      problem "$field $value is newer than $oldest" || return
  done
  local imports missing
  imports=$(awk '
      /DLL Name:/ { library = tolower($3) }
      /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print library, $3 }' <<<"$headers" | sort -u)
  # The reading of the import table found the functions at all.
  grep -q '^kernel32.dll GetModuleHandleA$' <<<"$imports" || problem "no imports read" || return
  missing=$(comm -23 <(echo "$imports") \
    <(grep -v '^#' "$root/tests/release/windows-xp-exports.txt" | sort -u))
  [ -z "$missing" ] || problem "imports what $name does not export: $(echo $missing)"
}

# Each program as shipped stays within its size budget: 190 KiB for the 64-bit one, 210 KiB
# for the 32-bit one.
within_size_budget() {
  local entry arch budget exe size over=0
  for entry in win64:194560 win32:215040; do
    arch=${entry%:*}
    budget=${entry#*:}
    exe=$work/unpacked-$arch/$folder/vantorel.exe
    [ -f "$exe" ] || problem "no unpacked $arch program" || return
    size=$(stat -c %s "$exe") || return
    echo "  $arch vantorel.exe: $size bytes of $budget"
    [ "$size" -le "$budget" ] || problem "the $arch program is $((size - budget)) bytes over" ||
      over=1
  done
  [ "$over" = 0 ]
}

check "checksums" checksums
check "64-bit archive" archive win64 pei-x86-64 x86_64-w64-mingw32-objdump
check "32-bit archive" archive win32 pei-i386 i686-w64-mingw32-objdump
check "executables within their size budget" within_size_budget
check "64-bit program loads on Windows XP x64 and Server 2003" \
  runs_on_oldest_windows win64 x86_64-w64-mingw32-objdump 5.2 "Windows XP x64"
check "32-bit program loads on Windows XP SP3" \
  runs_on_oldest_windows win32 i686-w64-mingw32-objdump 5.1 "Windows XP SP3"
check "installer file" installer_file

## Under Wine

probe_exe=$work/probe.exe
probe() { wine "$probe_exe" "$@" | tr -d '\r'; }

# A fresh prefix for Windows of the bitness ARCH (win64 or win32), on the caller's display when
# there is one.
start_wine() {
  unset VANTOREL_PREFIX VANTOREL_PREFIX_IS_TEMPORARY
  export VANTOREL_WINEARCH=$1
  local display_given=0
  [ -n "${DISPLAY:-}" ] && [ -n "${WINEPREFIX:-}" ] && display_given=1
  source scripts/lib/wine-session.sh
  if [ "$display_given" = 1 ]; then
    wine_session_prepare_prefix
  else
    wine_session_start
  fi
  trap 'wine_session_stop; rm -rf "$work"' EXIT
}

# Ends the prefix's programs and removes it, keeping the display for the next one.
end_wine() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}

# The probe: 32-bit where such programs run, so that one build serves both prefixes.
build_probe() {
  local compiler=x86_64-w64-mingw32-g++-posix
  [ "$VANTOREL_RUNS_32BIT" != 1 ] || compiler=i686-w64-mingw32-g++-posix
  "$compiler" -std=c++17 -O1 -municode -static -Wall -Wextra -Wpedantic -Wshadow \
    -Wconversion -Wsign-conversion -Werror -o "$probe_exe" tests/release/probe.cpp
}

# Sets what the checks of one prefix use: $windows (win64 or win32), the installer to run, the
# registry view of its entry, the paths, and the settings of a user who has used the program.
prepare_wine() {
  windows=$1
  start_wine "$windows" || problem "no Wine session" || return
  [ -f "$probe_exe" ] || build_probe || problem "cannot build the probe" || return
  installer=$setup
  # Wine's own tools may run as 32-bit programs, which read the 32-bit view of the registry.
  reg_view=/reg:64
  [ "$windows" = win64 ] || reg_view=/reg:32
  profile=$(wine cmd /c echo %USERPROFILE% | tr -d '\r')
  appdata=$(winepath -u "$(wine cmd /c echo %APPDATA% | tr -d '\r')" | tr -d '\r')
  instdir='C:\Program Files\Vantorel'
  instdir_unix=$(winepath -u "$instdir" | tr -d '\r')
  shortcut=$(winepath -u 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Vantorel.lnk' |
    tr -d '\r')
  uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantorel'
  help_title=$(sed -n 's/^Title=//p' resources/help/vantorelhelp.hhp 2>/dev/null | tr -d '\r')
  # The settings with the startup screen off, and a file of the user's own beside them.
  mkdir -p "$appdata/vantorel"
  printf '0\n1\n1\n1\n430\n10\n100\n0\n0\n0\n0\n16777215\n320\n700\n0\nArial\nNo file selected\nNo file selected\n' \
    >"$appdata/vantorel/vantorel.cfg"
  printf 'kept\r\n' >"$appdata/vantorel/notes.txt"
}

# Closes every window of the program and the help viewer, or ends their processes.
stop_programs() {
  local window
  for window in $(probe windows | awk -F'\t' '$2 == "Vantorel" || tolower($3) == "hh.exe" { print $1 }'); do
    probe post "$window" 0x10 0 >/dev/null
    probe gone "$window" 5000 || {
      wineserver -k
      wineserver -p
      return
    }
  done
}

# Help, Contents (WM_COMMAND CMD_HELP_CONTENTS, as F1 sends it) on the program's window MAIN:
# the help viewer must show the help file, and the program must not report a failure.
opens_help() {
  local main=$1 windows viewers line seen=""
  probe post "$main" 0x111 2008 || problem "cannot reach the program's window" || return
  for _ in $(seq 150); do
    windows=$(probe windows)
    viewers=$(awk -F'\t' 'tolower($3) == "hh.exe"' <<<"$windows")
    # The viewer may show a window of its own (such as its topic chooser) before or beside the
    # help, in either order, so the help's title is looked for among all of its windows.
    if [ -n "$viewers" ]; then
      seen=$(awk -F'\t' '{ print $NF }' <<<"$viewers" | paste -sd '|')
      line=$(awk -F'\t' -v t="$help_title" 't == "" || $NF == t' <<<"$viewers" | head -n 1)
      if [ -n "$line" ]; then
        for line in $(cut -f1 <<<"$viewers"); do probe post "$line" 0x10 0 >/dev/null; done
        return 0
      fi
    fi
    if awk -F'\t' '$2 == "#32770" && $4 == "Error!"' <<<"$windows" | grep -q .; then
      problem "the program reports that it cannot open its help file"
      return
    fi
    sleep 0.1
  done
  if [ -n "$seen" ]; then
    problem "the help viewer shows \"$seen\", not \"$help_title\""
  else
    problem "no help viewer within 15 s"
  fi
}

unpacked_archive_runs() {
  local place="My Timer Folder"
  local unix_place
  unix_place=$(winepath -u "$profile\\$place" | tr -d '\r')
  mkdir -p "$unix_place" && unzip -q "$dist/vantorel-$short-$windows.zip" -d "$unix_place" || return
  # Started from another folder: the help must still come from the program's own folder.
  wine start /d 'C:\windows' "$profile\\$place\\$folder\\vantorel.exe" ||
    problem "wine start failed" || return
  local main
  main=$(probe wait Vantorel '*' 15000) || problem "no Vantorel window within 15 s" || return
  opens_help "$main"
  local status=$?
  stop_programs
  return $status
}

installs_silently() {
  local status=0 file
  wine "$installer" /S || status=$?
  [ "$status" = 0 ] || problem "the installer ended with exit code $status" || return
  for file in vantorel.exe vantorelhelp.chm LICENSE.txt README.txt; do
    cmp -s "$instdir_unix/$file" "$work/unpacked-$windows/$folder/$file" ||
      problem "$instdir\\$file is not the $windows archive's" || return
  done
  [ -f "$instdir_unix/uninstall.exe" ] || problem "no $instdir\\uninstall.exe"
}

start_menu_shortcut() {
  [ -f "$shortcut" ] || problem "no Start-menu shortcut Vantorel.lnk" || return
  IFS=$'\t' read -r target workdir < <(python3 tests/release/shortcut.py "$shortcut")
  [ "${target,,}" = "${instdir,,}\\vantorel.exe" ] ||
    problem "the shortcut starts \"$target\"" || return
  [ "${workdir,,}" = "${instdir,,}" ] || problem "the shortcut starts in \"$workdir\""
}

# One value of the uninstall entry as "TYPE VALUE".
entry_value() {
  sed -nE "s/^    $1    (REG_[A-Z_]+)    (.*)\$/\\1 \\2/p" <<<"$entry"
}

uninstall_entry() {
  entry=$(wine reg query "$uninstall_key" $reg_view | tr -d '\r') || problem "no key $uninstall_key" || return
  local name want
  while IFS='|' read -r name want; do
    [ "$(entry_value "$name")" = "$want" ] ||
      problem "$name is \"$(entry_value "$name")\", not \"$want\"" || return
  done <<EOF
DisplayName|REG_SZ Vantorel
DisplayVersion|REG_SZ $version
Publisher|REG_SZ The Vantorel developers
DisplayIcon|REG_SZ $instdir\\vantorel.exe,0
UninstallString|REG_SZ "$instdir\\uninstall.exe"
QuietUninstallString|REG_SZ "$instdir\\uninstall.exe" /S
InstallLocation|REG_SZ $instdir
NoModify|REG_DWORD 0x1
NoRepair|REG_DWORD 0x1
EOF
  local size installed
  size=$(entry_value EstimatedSize)
  [[ "$size" == "REG_DWORD 0x"* ]] || problem "EstimatedSize is \"$size\"" || return
  size=$((${size#REG_DWORD }))
  installed=$(($(cat "$instdir_unix"/* | wc -c) / 1024))
  [ "$size" -ge $((installed * 9 / 10)) ] && [ "$size" -le $((installed * 11 / 10 + 4)) ] ||
    problem "EstimatedSize is $size KB, the files take $installed KB"
}

# Leaves the program running for the next checks, in $main.
installed_program_runs() {
  local target workdir
  IFS=$'\t' read -r target workdir < <(python3 tests/release/shortcut.py "$shortcut") || return
  wine start /d "$workdir" "$target" || problem "wine start failed" || return
  main=$(probe wait Vantorel '*' 15000) || problem "no Vantorel window within 15 s" || return
  opens_help "$main"
}

installation_state() {
  stat -c '%n %s %z %i' "$instdir_unix"/*
  wine reg query "$uninstall_key" $reg_view | tr -d '\r'
}

refuses_silently_while_running() {
  probe wait Vantorel '*' 0 >/dev/null || problem "the program does not run" || return
  local before status=0
  before=$(installation_state)
  wine "$installer" /S || status=$?
  [ "$status" = 2 ] || problem "the installer ended with exit code $status, not 2" || return
  # _?= runs the uninstaller in place, so its exit code is the one that counts.
  status=$(probe run "\"$instdir\\uninstall.exe\" /S _?=$instdir" 60000) ||
    problem "the uninstaller did not end" || return
  [ "$status" = 2 ] || problem "the uninstaller ended with exit code $status, not 2" || return
  [ "$(installation_state)" = "$before" ] || problem "the installation changed"
}

# Waits until control ID of WINDOW reads TEXT, then clicks it.
click_when() {
  local window=$1 id=$2 text=$3
  for _ in $(seq 300); do
    if [ "$(probe text "$window" "$id")" = "$text" ]; then
      probe post "$window" 0x111 "$id"
      return
    fi
    sleep 0.1
  done
  problem "no button \"$text\" within 30 s"
}

# Clicks through the wizard of the installer started in the background, up to Finish.
click_through_wizard() {
  local wizard box status=0
  wizard=$(probe wait '#32770' "Vantorel $short Setup*" 15000) ||
    problem "no installer window" || return
  click_when "$wizard" 1 "I &Agree" && click_when "$wizard" 1 "&Install" || return
  box=$(probe dialog "Vantorel $short Setup" 4 15000) || problem "no message box with Retry" ||
    return
  [[ "$box" == *"Vantorel is running."* ]] || problem "the message box says: ${box#*$'\t'}" ||
    return
  probe post "$main" 0x10 0 >/dev/null && probe gone "$main" 10000 ||
    problem "the program did not close" || return
  probe post "${box%%$'\t'*}" 0x111 4 && click_when "$wizard" 1 "&Finish" || return
  wait "$installer_pid" || status=$?
  [ "$status" = 0 ] || problem "the installer ended with exit code $status"
}

asks_to_close_running_copy() {
  probe wait Vantorel '*' 0 >/dev/null || problem "the program does not run" || return
  wine "$installer" &
  installer_pid=$!
  click_through_wizard || {
    kill "$installer_pid" 2>/dev/null
    stop_programs
    return 1
  }
  cmp -s "$instdir_unix/vantorel.exe" "$work/unpacked-$windows/$folder/vantorel.exe" ||
    problem "the program was not installed"
}

uninstalls_silently() {
  local status=0
  wine "$instdir\\uninstall.exe" /S || status=$?
  [ "$status" = 0 ] || problem "the uninstaller ended with exit code $status" || return
  # It runs on from a copy of itself in the temporary folder.
  for _ in $(seq 200); do
    [ -e "$instdir_unix" ] || break
    sleep 0.1
  done
  [ ! -e "$instdir_unix" ] || problem "left behind: $(ls "$instdir_unix" | tr '\n' ' ')" || return
  [ ! -e "$shortcut" ] || problem "the shortcut is left" || return
  ! wine reg query "$uninstall_key" $reg_view >/dev/null 2>&1 || problem "the uninstall entry is left" ||
    return
  [ -f "$appdata/vantorel/vantorel.cfg" ] && [ "$(cat "$appdata/vantorel/notes.txt")" = $'kept\r' ] ||
    problem "the user's files in %APPDATA%\\vantorel are gone"
}

# The checks of one prefix, WINDOWS being win64 or win32.
wine_checks() {
  local on="on 64-bit Windows"
  [ "$1" = win64 ] || on="on 32-bit Windows"
  if check "Wine session and probe $on" prepare_wine "$1"; then
    check "unpacked $1 archive runs from a folder with spaces and finds its help" \
      unpacked_archive_runs
    if [ "$VANTOREL_RUNS_32BIT" != 1 ]; then
      echo "== the installer $on: skipped, this machine cannot run 32-bit programs"
      skipped=$((skipped + 1))
      end_wine
      return
    fi
    check "installer installs silently $on" installs_silently
    check "Start-menu shortcut starts the program in its folder $on" start_menu_shortcut
    check "uninstall entry $on" uninstall_entry
    check "installed program starts from the shortcut and opens its help $on" \
      installed_program_runs
    check "installer and uninstaller stop silently while the program runs $on" \
      refuses_silently_while_running
    check "installer asks to close the running program and goes on after Retry $on" \
      asks_to_close_running_copy
    check "silent uninstall removes the program and keeps the user's files $on" \
      uninstalls_silently
    stop_programs
  fi
  end_wine
}

wine_checks win64
if [ "$VANTOREL_RUNS_32BIT" = 1 ]; then
  wine_checks win32
else
  echo "== 32-bit Windows: skipped, this machine cannot run 32-bit programs"
  skipped=$((skipped + 1))
fi

## The same sources give the same bytes

# The working tree as it would be committed: tracked and new files, nothing ignored.
copy_sources() {
  mkdir -p "$1"
  if git rev-parse --git-dir >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard |
      while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
      tar --null -T - -cf - | tar -xf - -C "$1"
  else
    tar --exclude=./build --exclude=./dist -cf - . | tar -xf - -C "$1"
  fi
}

# The release's two builds (the program and its help only; the flags of scripts/build.sh),
# packed with the copy's own scripts.
build_copy() {
  (
    cd "$1" &&
      cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake -DVANTOREL_TESTS=OFF &&
      cmake --build build/win64 -j "$(nproc)" --target vantorel vantorel_help &&
      cmake -S . -B build/win32 -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DVANTOREL_TESTS=OFF &&
      cmake --build build/win32 -j "$(nproc)" --target vantorel vantorel_help &&
      SOURCE_DATE_EPOCH=$epoch bash -c \
        'source scripts/lib/release-pack.sh && release_pack build/win64 build/win32 dist'
  ) >"$1.log" 2>&1 || {
    tail -n 20 "$1.log"
    problem "the build in $1 failed"
  }
}

# Names what differs between two release folders, down to the archives' members.
explain_difference() {
  local a=$1 b=$2 file
  for file in win64/vantorel.exe win64/vantorelhelp.chm win32/vantorel.exe win32/vantorelhelp.chm; do
    cmp -s "$a/build/$file" "$b/build/$file" || echo "  build/$file differs"
  done
}

reproducible() {
  # Folders of different names and depths, so that a path that leaks into a file shows.
  local first=$work/copy/vantorel second=$work/another-copy-of-the-sources/tree
  copy_sources "$first" && copy_sources "$second" || problem "cannot copy the sources" || return
  build_copy "$first" && build_copy "$second" || return
  local file differ=0
  for file in "vantorel-$short-win64.zip" "vantorel-$short-win32.zip" "vantorel-$short-setup.exe" \
    SHA256SUMS; do
    cmp -s "$first/dist/$file" "$second/dist/$file" || {
      echo "  $file differs between the two builds"
      differ=1
    }
    if [ "$built_here" = 1 ] && ! cmp -s "$first/dist/$file" "$dist/$file"; then
      echo "  $file differs between dist/ and a clean build"
      differ=1
    fi
  done
  if [ "$differ" = 1 ]; then
    explain_difference "$first" "$second"
    [ "$built_here" = 0 ] || explain_difference "$first" "$root"
    return 1
  fi
}

if [ "${VANTOREL_RELEASE_REBUILD:-1}" != 0 ]; then
  check "two clean builds in other folders give the same bytes" reproducible
fi

finish
