#!/usr/bin/env bash
# Checks installation and packaging of a built tree (default build/):
#   1. cmake --install into a temporary prefix: the file layout, the registry entry, the udev rule,
#      the pkg-config file (a program is compiled and linked against it);
#   2. desktop-file-validate, appstreamcli and update-mime-database on the installed files;
#   3. from that prefix: norvanectl run on the demo network with adapter-emu, and Norvane's
#      offscreen smoke run on it;
#   4. cpack .deb packages: their file lists and Depends (dpkg-deb), lintian errors;
#   5. as root, the packages installed with dpkg and used by an unprivileged user: the installed
#      Norvane runs a script of window commands against adapter-emu (EDS import, a slave from
#      it, export, reopen, start); then purged, leaving no files (NORVANE_CHECK_DPKG=0 skips it).
# NORVANE_CHECK_LINTIAN=0 skips lintian. Everything happens below one temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/norvane-install.XXXXXX")
emu_pid=""
cleanup() {
  if [ -n "$emu_pid" ] && kill -0 "$emu_pid" 2>/dev/null; then
    kill "$emu_pid" 2>/dev/null || true
    wait "$emu_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
expect_file() { [ -e "$prefix/$1" ] && ok "$1" || fail "missing $1"; }
expect_text() {  # FILE TEXT
  grep -qF -- "$2" "$1" && ok "$(basename "$1") has '$2'" || fail "$1 lacks '$2'"
}

# ---- 1. install into a temporary prefix ----
prefix=$work/prefix
env -u VARDA_REGISTRY -u DESTDIR cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; echo "cmake --install failed"; exit 1; }
libdir=$(cd "$prefix" && dirname "$(find . -name 'libvarda.so.1' | head -n 1)")
libdir=${libdir#./}
for f in bin/Norvane bin/norvanectl bin/adapter-emu bin/varda-register \
         share/norvane/Norvane.xml share/norvane/config.xml share/norvane/language/config.ini \
         share/norvane/language/english.xml share/norvane/language/chinese.xml \
         share/norvane/edsfile/nd_dio_16_8.eds share/norvane/demo/demo.kld share/norvane/demo/bus.xml \
         share/norvane/help/index.html share/norvane/help/main_window.html share/norvane/help/emulator.html \
         "$libdir/libvarda.so.1" "$libdir/libtamsen.so.1" "$libdir/libvarda.so" "$libdir/pkgconfig/varda.pc" \
         include/norvane/varda_api.h include/norvane/varda_functions.h \
         share/applications/org.norvane.Norvane.desktop share/mime/packages/org.norvane.Norvane.xml \
         share/metainfo/org.norvane.Norvane.metainfo.xml \
         share/icons/hicolor/scalable/apps/org.norvane.Norvane.svg \
         share/icons/hicolor/48x48/apps/org.norvane.Norvane.png \
         share/icons/hicolor/256x256/apps/org.norvane.Norvane.png \
         share/man/man1/norvanectl.1.gz share/man/man1/adapter-emu.1.gz share/man/man1/Norvane.1.gz \
         lib/udev/rules.d/60-norvane-adapter.rules etc/varda/registry.reg; do
  expect_file "$f"
done
if command -v chmcmd >/dev/null; then
  expect_file share/norvane/help.chm
  # Every page is inside the compiled help.
  # The listing is read whole first: grep -q stopping early would end chmls with SIGPIPE, which
  # pipefail takes for a failure.
  chm_listing=$(chmls "$prefix/share/norvane/help.chm" 2>/dev/null || true)
  for page in "$root"/docs/help/*.html; do
    grep -qF "/$(basename "$page")" <<<"$chm_listing" &&
      ok "help.chm has $(basename "$page")" || fail "help.chm lacks $(basename "$page")"
  done
fi
if [ -x "$build/bin/dnetmon" ]; then expect_file bin/dnetmon; expect_file share/man/man1/dnetmon.1.gz; fi
[ -e "$prefix/bin/Norvane.xml" ] && fail "settings beside bin/ (they belong in share/norvane)"
readelf -d "$prefix/$libdir/libvarda.so.1" | grep -q 'SONAME.*\[libvarda.so.1\]' && ok "libvarda SONAME" || fail "libvarda SONAME"
readelf -d "$prefix/$libdir/libtamsen.so.1" | grep -q 'SONAME.*\[libtamsen.so.1\]' && ok "libtamsen SONAME" || fail "libtamsen SONAME"
readelf -d "$prefix/bin/Norvane" | grep -q "$build" && fail "Norvane's run path names the build tree"
expect_text "$prefix/etc/varda/registry.reg" '[HKEY_LOCAL_MACHINE\SOFTWARE\BRAMWELL\VARDA\101]'
expect_text "$prefix/etc/varda/registry.reg" "\"DLL\"=\"$prefix/$libdir/libtamsen.so.1\""
expect_text "$prefix/etc/varda/registry.reg" '"UsbIds"="1a2b:0001"'
expect_text "$prefix/lib/udev/rules.d/60-norvane-adapter.rules" \
  'SUBSYSTEM=="usb", ATTR{idVendor}=="1a2b", ATTR{idProduct}=="0001", TAG+="uaccess"'
zcat "$prefix/share/man/man1/norvanectl.1.gz" | grep -qF 'FILE.kld' && ok "norvanectl.1 from --help" || fail "norvanectl.1"

# A program built against the installed headers and library through pkg-config.
cat >"$work/api.cpp" <<'CPP'
#include <varda_functions.h>
#include <cstdio>
int main() { std::printf("%zu\n", sizeof(VARDA_INIT_PARAM)); return 0; }
CPP
if flags=$(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --cflags --libs varda) &&
   g++ -std=c++20 "$work/api.cpp" -o "$work/api" $flags -Wl,--no-as-needed -lvarda "-Wl,-rpath,$prefix/$libdir" &&
   "$work/api" >/dev/null; then
  ok "pkg-config varda: compiled, linked and ran"
else
  fail "pkg-config varda"
fi

# ---- 2. validators ----
desktop-file-validate "$prefix/share/applications/org.norvane.Norvane.desktop" && ok "desktop-file-validate" ||
  fail "desktop-file-validate"
expect_text "$prefix/share/applications/org.norvane.Norvane.desktop" 'Exec=Norvane %f'
expect_text "$prefix/share/applications/org.norvane.Norvane.desktop" 'MimeType=application/x-norvane-network;'
appstreamcli validate --no-net --explain "$prefix/share/metainfo/org.norvane.Norvane.metainfo.xml" >"$work/as.log" 2>&1 &&
  ok "appstreamcli validate" || { cat "$work/as.log"; fail "appstreamcli validate"; }
mime=$work/mime
mkdir -p "$mime/packages"
cp "$prefix/share/mime/packages/org.norvane.Norvane.xml" "$mime/packages/"
if XDG_DATA_HOME=$work XDG_DATA_DIRS=$work update-mime-database "$mime" >"$work/mime.log" 2>&1 && [ ! -s "$work/mime.log" ]; then
  ok "update-mime-database"
else
  cat "$work/mime.log"; fail "update-mime-database"
fi
expect_text "$mime/globs2" 'application/x-norvane-network:*.kld'
expect_text "$mime/XMLnamespaces" 'application/x-norvane-network'
grep -aq '<Card ' "$mime/magic" && ok "magic has the root element" || fail "magic lacks '<Card '"

# ---- 3. run from the prefix ----
export QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME=$work/config HOME=$work/home
mkdir -p "$HOME"
"$prefix/bin/adapter-emu" --dir "$work/dev" --bus "$prefix/share/norvane/demo/bus.xml" --fast \
  >"$work/emu.log" 2>&1 &
emu_pid=$!
for _ in $(seq 100); do [ -S "$work/dev/adapter0/PIPE09" ] && break; sleep 0.1; done
[ -S "$work/dev/adapter0/PIPE09" ] || { cat "$work/emu.log"; echo "adapter-emu did not start"; exit 1; }
export VARDA_REGISTRY=$prefix/etc/varda/registry.reg TAMSEN_DEVICE_DIR=$work/dev
cp -r "$prefix/share/norvane/demo" "$work/demo"
if "$prefix/bin/norvanectl" run "$work/demo/demo.kld" --seconds 6 >"$work/run.out" 2>&1; then
  ok "norvanectl run exited 0"
else
  cat "$work/run.out"; fail "norvanectl run"
fi
expect_text "$work/run.out" '(1): [从站在线]'
expect_text "$work/run.out" ' stopped '
# The window program: starts on the demo network and is still running after a few seconds.
set +e
timeout -s TERM 6 "$prefix/bin/Norvane" "$work/demo/demo.kld" >"$work/gui.log" 2>&1
rc=$?
set -e
if [ "$rc" -eq 124 ]; then ok "Norvane offscreen smoke run"; else cat "$work/gui.log"; fail "Norvane exited with $rc"; fi
grep -qi "找不到\|cannot\|error" "$work/gui.log" && { cat "$work/gui.log"; fail "Norvane reported problems"; }
"$prefix/bin/Norvane" --version >/dev/null && ok "Norvane --version" || fail "Norvane --version"
kill "$emu_pid" 2>/dev/null || true
wait "$emu_pid" 2>/dev/null || true
emu_pid=""
unset VARDA_REGISTRY TAMSEN_DEVICE_DIR

# ---- 4. packages ----
pkgs=$work/pkgs
mkdir -p "$pkgs"
(cd "$build" && cpack -G DEB -B "$pkgs" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; echo "cpack failed"; exit 1; }
deb() { ls "$pkgs"/"$1"_*.deb 2>/dev/null | head -n 1; }
for p in libvarda1 libtamsen1 libvarda-dev norvane norvane-tools; do
  [ -n "$(deb "$p")" ] && ok "package $p" || fail "no package $p"
done
contents() { dpkg-deb -c "$(deb "$1")" | awk '{print $6}'; }
field() { dpkg-deb -f "$(deb "$1")" "$2"; }
expect_in() {  # PACKAGE PATH-REGEX
  contents "$1" | grep -qE -- "$2" && ok "$1 has $2" || fail "$1 lacks $2"
}
expect_dep() {  # PACKAGE FIELD TEXT
  field "$1" "$2" | grep -qF -- "$3" && ok "$1 $2 has $3" || fail "$1 $2 lacks $3: $(field "$1" "$2")"
}
if [ -n "$(deb norvane)" ]; then
  expect_in libvarda1 '^\./usr/lib/(.+/)?libvarda\.so\.1$'
  contents libvarda1 | grep -qE 'libvarda\.so$' && fail "libvarda1 has the development link"
  expect_in libtamsen1 '^\./usr/lib/(.+/)?libtamsen\.so\.1$'
  expect_in libtamsen1 '^\./etc/varda/registry\.reg$'
  expect_in libtamsen1 '^\./usr/lib/udev/rules\.d/60-norvane-adapter\.rules$'
  expect_in libvarda-dev '^\./usr/include/norvane/varda_api\.h$'
  expect_in libvarda-dev '^\./usr/lib/(.+/)?pkgconfig/varda\.pc$'
  expect_in libvarda-dev '^\./usr/lib/(.+/)?libvarda\.so$'
  expect_in norvane '^\./usr/bin/Norvane$'
  expect_in norvane '^\./usr/bin/norvanectl$'
  expect_in norvane '^\./usr/share/norvane/Norvane\.xml$'
  expect_in norvane '^\./usr/share/norvane/help/index\.html$'
  expect_in norvane '^\./usr/share/applications/org\.norvane\.Norvane\.desktop$'
  expect_in norvane '^\./usr/share/mime/packages/org\.norvane\.Norvane\.xml$'
  expect_in norvane-tools '^\./usr/bin/adapter-emu$'
  expect_in norvane-tools '^\./usr/bin/varda-register$'
  expect_dep norvane Depends 'libvarda1 (='
  expect_dep norvane Depends 'libqt6widgets6'
  expect_dep norvane Depends 'libtinyxml2'
  expect_dep norvane Depends 'qt6-translations-l10n'
  expect_dep libtamsen1 Depends 'libusb-1.0-0'
  expect_dep libtamsen1 Depends 'libvarda1 (='
  expect_dep libvarda-dev Depends 'libvarda1 (='
  dpkg-deb -I "$(deb libtamsen1)" conffiles | grep -qx '/etc/varda/registry.reg' && ok "registry is a conffile" ||
    fail "registry is not a conffile"
  dpkg-deb --fsys-tarfile "$(deb libtamsen1)" | tar -xO ./etc/varda/registry.reg |
    grep -qE '"DLL"="/usr/lib/(.+/)?libtamsen.so.1"' && ok "packaged registry names /usr" || fail "packaged registry path"
  if [ "${NORVANE_CHECK_LINTIAN:-1}" = "1" ] && command -v lintian >/dev/null; then
    lintian --tag-display-limit 0 "$pkgs"/*.deb >"$work/lintian.log" 2>&1 || true
    cat "$work/lintian.log"
    grep -qE "^[EW]: " "$work/lintian.log" && fail "lintian errors or warnings" || ok "lintian: clean"
  fi
fi

# ---- 5. the packages installed on this machine, used by an unprivileged user ----
# dpkg installs the five packages (as root; skipped when they are installed already, so an
# engineer's own installation is never replaced). A user without rights on /usr then runs the
# installed Norvane offscreen with a script of the window's own commands against adapter-emu,
# through the installed registry entry: import an EDS file (named with blanks and Chinese
# characters), add a slave from it, export, reopen, start the demo network. Everything the program
# writes must land in the user's XDG folders; a layout file at the old place is moved there.
# Purging the packages must leave none of their files. NORVANE_CHECK_DPKG=0 skips this part.
all_pkgs="norvane norvane-tools libvarda-dev libtamsen1 libvarda1"
any_installed() {
  for p in $all_pkgs; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q ' installed$' && return 0
  done
  return 1
}
if [ "${NORVANE_CHECK_DPKG:-1}" != "1" ]; then
  echo "skipped: installed packages (NORVANE_CHECK_DPKG=0)"
elif [ "$(id -u)" -ne 0 ] || [ -z "$(deb norvane)" ] || ! command -v runuser >/dev/null; then
  echo "skipped: installed packages (needs root, runuser and the packages)"
elif any_installed; then
  echo "skipped: installed packages (already installed on this machine; left alone)"
else
  for p in $all_pkgs; do dpkg-deb -c "$(deb "$p")"; done | awk '$1 !~ /^d/ {print substr($6, 2)}' |
    sed 's/ -> .*//' | sort -u >"$work/package-files"
  if dpkg -i "$(deb libvarda1)" "$(deb libtamsen1)" "$(deb libvarda-dev)" "$(deb norvane)" "$(deb norvane-tools)" \
       >"$work/dpkg-install.log" 2>&1; then
    ok "dpkg -i of the five packages"
    user=nobody
    chmod 755 "$work"
    uwork=$work/user
    mkdir -p "$uwork/home/.config/Local AppWizard-Generated Applications" "$uwork/files"
    # A layout left by an earlier version, with a marker the move must keep.
    printf '[General]\nCheckMarker=kept\n' >"$uwork/home/.config/Local AppWizard-Generated Applications/Norvane.conf"
    cp /usr/share/norvane/edsfile/nd_tt1.eds "$uwork/files/温度 变送器.eds"
    cat >"$uwork/script.txt" <<SCRIPT
open /usr/share/norvane/demo/demo.kld
expect-slaves 6
import-eds $uwork/files/温度 变送器.eds
add-slave 6 温度 变送器
expect-slaves 7
export $uwork/files/导出 网络.kld
open $uwork/files/导出 网络.kld
expect-slaves 7
start
expect-online 6 20
stop
SCRIPT
    chown -R "$user" "$uwork"
    as_nobody() {
      runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$uwork/home" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
        TAMSEN_DEVICE_DIR="$uwork/dev" "$@"
    }
    as_nobody /usr/bin/adapter-emu --dir "$uwork/dev" --bus /usr/share/norvane/demo/bus.xml --fast \
      --state "$uwork/state" >"$work/user-emu.log" 2>&1 &
    emu_pid=$!
    for _ in $(seq 100); do [ -S "$uwork/dev/adapter0/PIPE09" ] && break; sleep 0.1; done
    set +e
    as_nobody timeout -s TERM 120 /usr/bin/Norvane --script "$uwork/script.txt" >"$work/user-run.log" 2>&1
    rc=$?
    set -e
    kill "$emu_pid" 2>/dev/null || true
    wait "$emu_pid" 2>/dev/null || true
    emu_pid=""
    sed 's/^/  /' "$work/user-run.log"
    [ "$rc" -eq 0 ] && ok "installed Norvane ran the user's script" || fail "installed Norvane's script (exit $rc)"
    uhome=$uwork/home
    [ -f "$uhome/.local/share/norvane/edsfile/温度 变送器.eds" ] && ok "imported EDS file in ~/.local/share/norvane" ||
      fail "imported EDS file not in ~/.local/share/norvane/edsfile"
    [ -f "$uhome/.config/norvane/config.xml" ] && ok "config.xml in ~/.config/norvane" || fail "no ~/.config/norvane/config.xml"
    grep -q 'CheckMarker=kept' "$uhome/.config/norvane/Norvane.conf" 2>/dev/null && ok "old layout file moved" ||
      fail "old layout file not moved to ~/.config/norvane/Norvane.conf"
    grep -q 'NormalLayout\|Recent' "$uhome/.config/norvane/Norvane.conf" 2>/dev/null && ok "layout written per user" ||
      fail "no layout in ~/.config/norvane/Norvane.conf"
    [ -e "$uhome/.config/Local AppWizard-Generated Applications" ] && fail "the old layout folder is still there"
    elsewhere=$(cd "$uhome" && find . -type f ! -path './.config/norvane/*' ! -path './.local/share/norvane/*' \
      ! -path './.cache/*')
    [ -z "$elsewhere" ] && ok "the program wrote only into the XDG folders of norvane" ||
      fail "written outside the XDG folders of norvane: $elsewhere"
    iconv -f GB18030 -t UTF-8 "$uwork/files/导出 网络.kld" 2>/dev/null |
      grep -qF "path=\"$uhome/.local/share/norvane/edsfile/温度 变送器.eds\"" &&
      ok "exported network names the EDS file by its full path" || fail "exported network lacks the full EDS path"
    find /usr/share/norvane -newer "$work/package-files" -type f | grep -q . &&
      fail "files written into /usr/share/norvane"
    if dpkg --purge $all_pkgs >"$work/dpkg-purge.log" 2>&1; then ok "dpkg --purge"; else
      cat "$work/dpkg-purge.log"; fail "dpkg --purge"; fi
    left=$(while read -r f; do if [ -e "$f" ] || [ -L "$f" ]; then echo "$f"; fi; done <"$work/package-files")
    [ -z "$left" ] && ok "purge left no package files" || fail "left after purge: $left"
    for d in /usr/share/norvane /etc/varda /usr/include/norvane; do
      if [ -e "$d" ]; then fail "left after purge: $d"; fi
    done
  else
    cat "$work/dpkg-install.log"; fail "dpkg -i"
    dpkg --purge $all_pkgs >/dev/null 2>&1 || true
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "check-install: $failures failure(s)"
  exit 1
fi
echo "check-install: all checks passed"
