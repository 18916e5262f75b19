#!/usr/bin/env bash
# Checks the Debian package as an installer and a distribution find it:
#   scripts/check_package.sh PACKAGE.deb
# lintian --pedantic (no error or warning), its control fields and file list,
# xz compression, hardened and stripped programs, the desktop entry
# (desktop-file-validate) and its mailcap entry (update-mime), the data file
# type (*.qd1, magic for the version texts at the start of a file, the old
# name as an alias, its icon), the AppStream metadata (appstreamcli
# validate), the icons and manual pages, and the programs run from the
# unpacked tree with no run path at all (so none into the build folder). One
# line per check; exit 1 when any failed.
set -uo pipefail

deb=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
failed=0

# check NAME COMMAND...: runs the command quietly, shows its output on failure.
check() {
  local name=$1
  shift
  if "$@" >"$work/log" 2>&1; then
    echo "ok    $name"
  else
    echo "FAIL  $name"
    sed 's/^/      /' "$work/log" | head -n 30
    failed=1
  fi
}

dpkg-deb -x "$deb" "$root" || { echo "FAIL  dpkg-deb -x $deb"; exit 1; }
bin=$root/usr/bin
version=$("$bin/quorvex-cli" --version 2>/dev/null | sed -n 's/^quorvex-cli //p')

control() {
  local f
  f() { dpkg-deb -f "$deb" "$1"; }
  [ "$(f Package)" = quorvex ] || { echo "Package: $(f Package)"; return 1; }
  [ -n "$version" ] && [ "$(f Version)" = "$version" ] ||
    { echo "Version: $(f Version), programs: $version"; return 1; }
  [ "$(f Architecture)" = "$(dpkg --print-architecture)" ] || { echo "Architecture: $(f Architecture)"; return 1; }
  [ "$(basename "$deb")" = "quorvex_${version}_$(f Architecture).deb" ] || { echo "name: $deb"; return 1; }
  local depends
  depends=$(f Depends)
  for p in libc6 libstdc++6 libqt6widgets6 libqt6printsupport6 libserialport0 fonts-ipafont-gothic; do
    [[ ", $depends," == *", $p"[\ ,]* ]] || { echo "Depends lacks $p: $depends"; return 1; }
  done
  grep -q qt6-translations-l10n <<<"$(f Recommends)" || { echo "Recommends: $(f Recommends)"; return 1; }
  [ -n "$(f Maintainer)" ] && [ -n "$(f Description)" ]
}
check "control fields (version $version, Depends from shared libraries)" control

lintian_clean() {
  # Errors and warnings fail; pedantic notes and information are shown.
  lintian --pedantic --no-tag-display-limit "$deb" >"$work/lintian" 2>&1
  cat "$work/lintian"
  ! grep -E '^(E|W): ' "$work/lintian"
}
check "lintian --pedantic: no errors or warnings" lintian_clean

compression() {
  ar t "$deb" | grep -x 'data.tar.xz' >/dev/null || { ar t "$deb"; return 1; }
}
check "xz compression" compression

hardening() {
  local p dynamic segments header sections symbols
  for p in quorvex quorvex-cli orvantis-sim; do
    dynamic=$(readelf -d "$bin/$p")
    segments=$(readelf -lW "$bin/$p")
    header=$(readelf -h "$bin/$p")
    sections=$(readelf -SW "$bin/$p")
    symbols=$(readelf --dyn-syms -W "$bin/$p")
    grep -q 'BIND_NOW' <<<"$dynamic" || { echo "$p: no -z now"; return 1; }
    grep -q 'GNU_RELRO' <<<"$segments" || { echo "$p: no relro"; return 1; }
    grep -q 'DYN (' <<<"$header" || { echo "$p: not PIE"; return 1; }
    ! grep -qE '\.(comment|symtab) ' <<<"$sections" || { echo "$p: .comment or symbols left"; return 1; }
    grep -q '__stack_chk_fail' <<<"$symbols" || { echo "$p: no stack protector"; return 1; }
    grep -qE '__[a-z_]+_chk@' <<<"$symbols" || { echo "$p: no fortified functions"; return 1; }
  done
}
check "programs hardened (fortify, stack protector, relro, -z now, PIE) and stripped" hardening

files() {
  local expected actual
  expected=$(
    printf '%s\n' /usr/bin/quorvex /usr/bin/quorvex-cli /usr/bin/orvantis-sim \
      /usr/share/applications/quorvex.desktop /usr/share/mime/packages/quorvex.xml \
      /usr/share/doc/quorvex/copyright /usr/share/doc/quorvex/changelog.gz \
      /usr/share/quorvex/catalog-roles.sql \
      /usr/share/metainfo/example.orvantis.quorvex.metainfo.xml \
      /usr/share/icons/hicolor/scalable/apps/quorvex.svg \
      /usr/share/icons/hicolor/scalable/mimetypes/application-vnd.quorvex.data.svg \
      /usr/share/man/man1/quorvex.1.gz /usr/share/man/man1/quorvex-cli.1.gz \
      /usr/share/man/man1/orvantis-sim.1.gz
    for s in 16 22 24 32 48 64 128 256; do
      echo "/usr/share/icons/hicolor/${s}x$s/apps/quorvex.png"
      echo "/usr/share/icons/hicolor/${s}x$s/mimetypes/application-vnd.quorvex.data.png"
    done
  )
  actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }')
  diff <(sort <<<"$expected") <(sort <<<"$actual") || return 1
  # Everything belongs to root; programs are executable, data files are not.
  dpkg-deb -c "$deb" | awk '$2 != "root/root" { print "owner: " $0; bad = 1 }
    $1 !~ /^d/ && $6 ~ /usr\/bin\// && $1 != "-rwxr-xr-x" { print "mode: " $0; bad = 1 }
    $1 !~ /^d/ && $6 !~ /usr\/bin\// && $1 != "-rw-r--r--" { print "mode: " $0; bad = 1 }
    END { exit bad }'
}
check "file list" files

desktop() {
  local entry=$root/usr/share/applications/quorvex.desktop
  desktop-file-validate "$entry" || return 1
  grep -qx 'Exec=quorvex --desktop %F' "$entry" || { echo "Exec"; return 1; }
  grep -qx 'MimeType=application/vnd.quorvex.data;application/x-quorvex-data;' "$entry" ||
    { echo "MimeType"; return 1; }
  grep -q '^Name\[ja\]=' "$entry" && grep -q '^Comment\[ja\]=' "$entry" || { echo "ja"; return 1; }
  grep -Eq '^Categories=.*Science;.*Electronics;' "$entry" || { echo "Categories"; return 1; }
}
check "desktop entry (desktop-file-validate)" desktop

# update-mime writes a mailcap entry from every desktop entry; run on the
# package's entry alone (its folders pointed into the unpacked tree), the
# entry must start the program as the desktop does.
mailcap() {
  local script=$work/update-mime
  sed -e "s|^my \$appsdir\t*= .*|my \$appsdir = \"$root/usr/share/applications\";|" \
      -e "s|^my \$mimedir\t*= .*|my \$mimedir = \"$work/no-mime-packages\";|" \
      -e "s|^my \$conffile\t*= .*|my \$conffile = \"$work/none.conf\";|" \
      /usr/sbin/update-mime >"$script"
  mkdir -p "$work/mailcap-home"
  HOME=$work/mailcap-home perl "$script" --local || return 1
  local expected='quorvex --desktop %s; test=test -n "$DISPLAY"'
  for t in application/vnd.quorvex.data application/x-quorvex-data; do
    grep -qxF "$t; $expected" "$work/mailcap-home/.mailcap" ||
      { cat "$work/mailcap-home/.mailcap"; echo "no mailcap entry for $t"; return 1; }
  done
}
check "mailcap entry keeps --desktop (update-mime)" mailcap

mime() {
  mkdir -p "$work/share/mime/packages" "$work/data"
  cp "$root/usr/share/mime/packages/quorvex.xml" "$work/share/mime/packages/"
  # Any complaint about the definition fails the check.
  local said
  said=$(XDG_DATA_DIRS=$work/share:/usr/share update-mime-database "$work/share/mime" 2>&1) &&
    [ -z "$said" ] || { echo "update-mime-database: $said"; return 1; }
  type_of() {
    XDG_DATA_HOME=$work/none XDG_DATA_DIRS=$work/share:/usr/share \
      gio info -a standard::content-type "$1" | sed -n 's/.*standard::content-type: //p'
  }
  expect() {  # file, type
    local got
    got=$(type_of "$1")
    [ "$got" = "$2" ] || { echo "$(basename "$1"): $got, expected $2"; return 1; }
  }
  grep -qx 'application/x-quorvex-data application/vnd.quorvex.data' "$work/share/mime/aliases" ||
    { echo "no alias: $(cat "$work/share/mime/aliases")"; return 1; }
  grep -qx 'application/vnd.quorvex.data:x-office-document' "$work/share/mime/generic-icons" ||
    { echo "generic icon"; return 1; }
  local t=application/vnd.quorvex.data d=$work/data
  printf 'not a data file' >"$d/name-only.qd1"
  printf '\003101\001\000\000\000' >"$d/v101.dat"
  printf '\004101b\001\000\000\000' >"$d/v101b.dat"
  printf '\003100\000\000\000\000' >"$d/v100.dat"
  printf '\004100b\000\000\000\000' >"$d/v100b.dat"
  printf '\003102\001\000\000\000' >"$d/v102.dat"
  "$bin/quorvex-cli" sample "$d/sample.qd1" >/dev/null && cp "$d/sample.qd1" "$d/sample-renamed"
  expect "$d/name-only.qd1" $t && expect "$d/sample-renamed" $t &&
    for v in v101 v101b v100 v100b; do expect "$d/$v.dat" $t || return 1; done &&
    expect "$d/v102.dat" application/octet-stream
}
check "data file type (*.qd1, the version texts, the old name as an alias)" mime

appstream() {
  local m=$root/usr/share/metainfo/example.orvantis.quorvex.metainfo.xml
  appstreamcli validate --no-net --pedantic --explain "$m" || return 1
  local want
  for want in '<binary>quorvex</binary>' '<binary>quorvex-cli</binary>' \
      '<binary>orvantis-sim</binary>' '<mediatype>application/vnd.quorvex.data</mediatype>' \
      '<launchable type="desktop-id">quorvex.desktop</launchable>' '<screenshot type="default">'; do
    grep -qF "$want" "$m" || { echo "metainfo lacks $want"; return 1; }
  done
  grep -qF "<release version=\"$version\"" "$m" || { echo "no release $version"; return 1; }
}
check "AppStream metadata (appstreamcli validate)" appstream

icons() {
  local s png
  for s in 16 22 24 32 48 64 128 256; do
    for png in "$root/usr/share/icons/hicolor/${s}x$s/apps/quorvex.png" \
        "$root/usr/share/icons/hicolor/${s}x$s/mimetypes/application-vnd.quorvex.data.png"; do
      # The PNG header's width and height.
      [ "$(od -An -tx1 -j1 -N3 "$png" | tr -d ' \n')" = 504e47 ] || { echo "$png: no PNG"; return 1; }
      [ "$(od -An -tu4 --endian=big -j16 -N8 "$png" | xargs)" = "$s $s" ] ||
        { echo "$png: not ${s}x$s"; return 1; }
    done
  done
  grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/quorvex.svg" &&
    grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/mimetypes/application-vnd.quorvex.data.svg"
}
check "icons" icons

manpages() {
  local p sub
  for p in quorvex quorvex-cli orvantis-sim; do
    zcat "$root/usr/share/man/man1/$p.1.gz" | grep -q "^\.TH \"\?${p^^}\"\? \"\?1\"\?" ||
      { echo "$p.1: no .TH"; return 1; }
  done
  # Every sub-command of quorvex-cli is in its page.
  for sub in $("$bin/quorvex-cli" --help | sed -n '/^Subcommands:/,$ s/^  \([a-z-]*\) .*/\1/p'); do
    zcat "$root/usr/share/man/man1/quorvex-cli.1.gz" | grep -q -- "$sub" ||
      { echo "quorvex-cli.1 lacks $sub"; return 1; }
  done
  # Read whole first: grep -q may end before the page is written out.
  local quorvex_page sim_page
  quorvex_page=$(zcat "$root/usr/share/man/man1/quorvex.1.gz")
  sim_page=$(zcat "$root/usr/share/man/man1/orvantis-sim.1.gz")
  # A manual: sections of what the window does, its files, its environment
  # (each variable once) and exit status; examples everywhere.
  for sub in '"THE WINDOW"' '"A RUN"' RECOVERY STATIONS FILES ENVIRONMENT '"EXIT STATUS"' EXAMPLES; do
    grep -q "^\.SH $sub" <<<"$quorvex_page" || { echo "quorvex.1 lacks $sub"; return 1; }
  done
  for sub in runjournal.qvj recovered-YYYYMMDD-HHMMSS.qd1 tmpdata.bak Dis.ini Inpset.ini ports/COM; do
    grep -q -- "$sub" <<<"$quorvex_page" || { echo "quorvex.1 lacks $sub"; return 1; }
  done
  for sub in QUORVEX_DIR QUORVEX_TRACE XDG_RUNTIME_DIR; do
    [ "$(sed -n '/^\.SH ENVIRONMENT/,/^\.SH/p' <<<"$quorvex_page" | grep -c "^\.B $sub")" = 1 ] ||
      { echo "quorvex.1: $sub not once in ENVIRONMENT"; return 1; }
  done
  zcat "$root/usr/share/man/man1/quorvex-cli.1.gz" | grep -c '^\.SH EXAMPLES' >/dev/null &&
    grep -q '^\.SH EXAMPLES' <<<"$sim_page" ||
    { echo "EXAMPLES"; return 1; }
  # Every fault of the simulator is explained.
  for sub in $("$bin/orvantis-sim" --help | sed -n 's/.*--fault TEXT:{\([^}]*\)}.*/\1/p' | tr , ' '); do
    sed -n '/^\.SH FAULTS/,/^\.SH/p' <<<"$sim_page" | grep -q "^\.B $sub\$" ||
      { echo "orvantis-sim.1 does not explain $sub"; return 1; }
  done
}
check "manual pages" manpages

programs() {
  local p
  for p in quorvex quorvex-cli orvantis-sim; do
    if readelf -d "$bin/$p" | grep -E 'RPATH|RUNPATH'; then echo "$p has a run path"; return 1; fi
    if ldd "$bin/$p" | grep 'not found'; then return 1; fi
    [ "$("$bin/$p" --version)" = "$p $version" ] || { echo "$p --version"; return 1; }
  done
  "$bin/quorvex-cli" dump "$work/data/sample.qd1" | grep -q '"version":"101"' || return 1
  "$bin/orvantis-sim" --help >/dev/null || return 1
  # The desktop program from the desktop entry: it starts, works in its data
  # folder, and keeps running until it is ended.
  mkdir -p "$work/home" "$work/run"
  (cd "$work/home" && QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/run \
    XDG_DATA_HOME=$work/xdg HOME=$work/home exec "$bin/quorvex" --desktop) &
  local pid=$! i
  for i in $(seq 100); do
    [ -f "$work/xdg/quorvex/Dis.ini" ] && break
    sleep 0.1
  done
  local running=0
  kill -0 "$pid" 2>/dev/null && running=1
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  [ -f "$work/xdg/quorvex/Dis.ini" ] && [ "$running" = 1 ] && [ ! -e "$work/home/Dis.ini" ] ||
    { echo "quorvex --desktop did not start in its data folder"; return 1; }
}
check "programs run from the unpacked tree" programs

exit "$failed"
