#!/usr/bin/env bash
# Builds the Debian package with CPack and tries it as a user gets it: lintian on the package,
# its dependencies and file list, the validators on the desktop entries, the AppStream record
# and the manual pages it installs, and, unpacked into a scratch folder, both programs'
# --version and the program started from a home folder without lang.xml: with "EN" stored it
# must show the English texts and open the English manual, both from its installed data folder.
# The programs run in a network namespace with only an unconfigured loopback (root), so nothing
# they send leaves it; the program shows its window in a private Xvfb. The package and a
# screenshot are left in OUT_DIR.
# Usage: package_test.sh BUILD_DIR VERSION FILE_LIST OUT_DIR
set -uo pipefail
build=$(realpath "$1")
version=$2
expected_files=$(realpath "$3")
out=$(realpath -m "$4")
here=$(dirname "$(realpath "$0")")
source "$here/../netns/netns.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
show() { echo "--- $1" >&2; cat "$1" >&2; }

rm -rf "$out"
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$work/cpack.log" 2>&1 ||
  { show "$work/cpack.log"; fail "cpack"; }
debs=("$out"/pathmere_"$version"_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one pathmere_${version}_*.deb in $out"
deb=${debs[0]}
echo "package: $deb"

lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 ||
  { show "$work/lintian.log"; fail "lintian reports errors or warnings"; }
cat "$work/lintian.log"

# Dependencies come from the binaries' libraries, not from a hand-written list.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libcurl4 libxml2 libc6; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

# The captions are drawn for Arial's metrics: a metric-compatible font comes with the package.
recommends=$(dpkg-deb -f "$deb" Recommends)
for package in xdg-utils fonts-liberation; do
  [[ ", $recommends," == *", $package,"* ]] || fail "Recommends lacks $package: $recommends"
done

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sed 's|^\./|/|' | sort >"$work/files.txt"
diff -u <(sort "$expected_files") "$work/files.txt" >"$work/files.diff" ||
  { show "$work/files.diff"; fail "the package's file list differs from $(basename "$expected_files")"; }

root=$work/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x"
share=$root/usr/share

for entry in "$share/applications/pathmere.desktop" "$share/pathmere/autostart/pathmere.desktop"; do
  desktop-file-validate "$entry" >"$work/desktop.log" 2>&1 ||
    { show "$work/desktop.log"; fail "desktop-file-validate: $entry"; }
done
grep -qx 'Exec=pathmere simge' "$share/pathmere/autostart/pathmere.desktop" ||
  fail "the autostart example does not start the program with simge"
metainfo=$share/metainfo/com.korvane.pathmere.metainfo.xml
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
  { show "$work/appstream.log"; fail "appstreamcli validate"; }
grep -q "<release version=\"$version\"" "$metainfo" || fail "the AppStream release is not $version"
for page in pathmere.1.gz pathmere-scan.1.gz; do
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$share/man/man1/$page" 2>"$work/man.log" >/dev/null
  [ -s "$work/man.log" ] && { show "$work/man.log"; fail "man --warnings: $page"; }
done

# Running the programs needs a network namespace of their own.
netns_require_root || exit $?

# Without a display: a program that built anything of its interface before answering fails.
for program in pathmere pathmere-scan; do
  said=$(timeout 20 unshare --net env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb \
    "$root/usr/bin/$program" --version 2>"$work/version.log")
  code=$?
  [ $code -eq 0 ] || { show "$work/version.log"; fail "$program --version ended with $code"; }
  [ "$said" = "$program $version" ] || fail "$program --version printed '$said'"
done
for option in --help -h; do
  timeout 20 unshare --net env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb \
    "$root/usr/bin/pathmere" $option >"$work/help.txt" 2>"$work/help.log"
  code=$?
  [ $code -eq 0 ] || { show "$work/help.log"; fail "pathmere $option ended with $code"; }
  for word in simge --version machine.conf "web management page"; do
    grep -qF -- "$word" "$work/help.txt" || fail "pathmere $option does not mention $word"
  done
done

mkdir -p "$work/home" "$work/config/Korvane" "$work/bin"
mkdir -m 700 "$work/runtime"
printf '[SOFTWARE\\Korvane\\Pathmere]\n"Language"=sz:"EN"\n' >"$work/config/Korvane/machine.conf"
cat >"$work/bin/xdg-open" <<FAKE
#!/bin/sh
printf '%s\n' "\$*" >>"$work/opened.txt"
FAKE
chmod +x "$work/bin/xdg-open"

unshare --net bash -s "$root" "$work" "$out" "$here/../gui" <<'INNER'
set -uo pipefail
root=$1 work=$2 out=$3 gui=$4
fail() {
  echo "FAIL: $*" >&2
  [ -s "$work/program.log" ] && { echo "--- program.log"; tail -n 20 "$work/program.log"; } >&2
  exit 1
}
source "$gui/xvfb.sh"
source "$gui/within.sh"
xvfb_start "$work/xvfb.log" || fail "no X server"
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  xvfb_stop
  wait 2>/dev/null
}
trap cleanup EXIT

cd "$work/home"
HOME=$work/home PATH="$work/bin:$PATH" XDG_CONFIG_HOME=$work/config \
  XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb "$root/usr/bin/pathmere" \
  >"$work/program.log" 2>&1 &
app=$!

window=""
find_window() {
  window=$(xdotool search --onlyvisible --class pathmere 2>/dev/null | head -n1)
  [ -n "$window" ]
}
within 150 find_window || fail "the installed program's window never appeared"
eval "$(xdotool getwindowgeometry --shell "$window")" # X, Y, WIDTH, HEIGHT
sleep 0.5
import -window root "$out/installed-program.png" 2>/dev/null
# The menu titles are fitted to their texts: in English, Help lies at about (101..123, 6..18)
# in the window. Its items: About, User Manual, Legal Notice.
help_item() { # number of the item, from 1
  xdotool mousemove $((X + 110)) $((Y + 12)) click 1
  sleep 0.5
  for _ in $(seq "$1"); do xdotool key Down; done
  xdotool key Return
}

help_item 2
within 100 test -s "$work/opened.txt" ||
  fail "User Manual opened nothing (or the English Help title is not where it should be)"
opened=$(head -n1 "$work/opened.txt")
manual=$root/usr/share/pathmere/Doc/English
[ "$opened" = "file://$manual" ] || fail "User Manual opened '$opened', expected file://$manual"

help_item 1
about() { xdotool search --onlyvisible --name '^About$'; }
within 100 about || fail "no window titled 'About': the English texts were not loaded"
kill -0 "$app" 2>/dev/null || fail "the program ended"
INNER
code=$?
[ $code -eq 0 ] || exit $code
echo "PASS"
