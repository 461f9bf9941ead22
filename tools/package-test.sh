#!/usr/bin/env bash
# Builds the Debian package and checks it the way a user meets it: valid desktop entry and
# AppStream metadata, no lintian error, the window's icon and class both from the build folder
# and from an apt-installed /usr/bin/pellumo, and a removal that leaves none of the package's
# files but keeps the user's backups. Installs into this machine, so it needs root.
# Usage: tools/package-test.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/xvfb-session.sh

if [[ $(id -u) != 0 ]]; then
  echo "The package test installs and removes a package: run it as root." >&2
  exit 1
fi
build=${1:-build}
bash tools/install-deps.sh

# Other checkouts on this machine install the same package.
exec 9>/var/lock/pellumo-package-test.lock
flock 9

work=$(mktemp -d)
program_pid=
installed_by_us=
finish() {
  [[ -n "$program_pid" ]] && kill "$program_pid" 2>/dev/null
  if [[ -n "$installed_by_us" ]]; then
    apt-get remove -y -q pellumo >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
  stop_xvfb_session
}
trap finish EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

echo "-- Building the package"
package=$(bash tools/package.sh "$build")
echo "$package"
dpkg-deb -x "$package" "$work/root"

echo "-- Desktop entry and AppStream metadata"
desktop_files=("$work"/root/usr/share/applications/*.desktop)
metainfo_files=("$work"/root/usr/share/metainfo/*.metainfo.xml)
((${#desktop_files[@]} == 1)) || fail "expected one desktop entry, found ${desktop_files[*]}"
desktop-file-validate "${desktop_files[0]}" || fail "desktop-file-validate"
appstreamcli validate --no-net "${metainfo_files[0]}" || fail "appstreamcli validate"
grep -qx 'Exec=pellumo' "${desktop_files[0]}" || fail "the desktop entry does not run pellumo"
wm_class=$(sed -n 's/^StartupWMClass=//p' "${desktop_files[0]}")
[[ -n "$wm_class" ]] || fail "the desktop entry has no StartupWMClass"

echo "-- Package contents and lintian"
for size in 48 64 128 256; do
  png="$work/root/usr/share/icons/hicolor/${size}x${size}/apps/net.pellumo.Pellumo.png"
  file "$png" | grep -q "PNG image data, $size x $size," || fail "no ${size}px icon"
done
[[ -s "$work/root/usr/share/icons/hicolor/scalable/apps/net.pellumo.Pellumo.svg" ]] ||
  fail "no scalable icon"
file "$work/root/usr/bin/pellumo" | grep -q ', stripped' || fail "/usr/bin/pellumo is not stripped"
dpkg-deb -f "$package" Depends | grep -q 'fonts-noto-cjk' || fail "no dependency on the fonts"
lintian --no-override --fail-on error "$package" || fail "lintian reports errors"

# Starts the program on the virtual display, finds its window, checks the window's icon and
# class, and closes it as a user would (openbox closes the active window on Alt+F4).
check_window() {
  local program=$1 window= icon class
  http_proxy=http://127.0.0.1:9 no_proxy= NO_PROXY= "$program" >"$work/program.log" 2>&1 &
  program_pid=$!
  for _ in $(seq 120); do
    window=$(xdotool search --onlyvisible --pid "$program_pid" --name '^Pellumo$' 2>/dev/null |
      head -1) || true
    [[ -n "$window" ]] && break
    sleep 0.5
  done
  [[ -n "$window" ]] || { cat "$work/program.log" >&2; fail "$program showed no window"; }
  # The first icon as width, height and ARGB pixels by rows. GTK shows a stand-in when the
  # theme lacks the icon, so two pixels are checked against the SVG's colours: the light blue
  # background left of the page, and the dark blue arrow in the middle.
  icon=($(xprop -notype -id "$window" -f _NET_WM_ICON 32c '=$0+' _NET_WM_ICON |
    sed 's/^_NET_WM_ICON=//; s/,/ /g'))
  [[ "${icon[0]:-}" =~ ^[0-9]+$ && "${icon[1]:-}" =~ ^[0-9]+$ ]] && ((icon[0] >= 16)) ||
    fail "$program: the window has no icon (${icon[*]:0:3})"
  local width=${icon[0]} height=${icon[1]}
  local background=${icon[2 + height / 2 * width + width / 12]}
  local arrow=${icon[2 + height / 2 * width + width / 2]}
  [[ $(printf '%x' "$background") == ffc0c0ff && $(printf '%x' "$arrow") == ff2c5bb8 ]] ||
    fail "$program: the window's icon is not Pellumo's"
  class=$(xprop -id "$window" WM_CLASS)
  [[ "$class" == *", \"$wm_class\"" ]] ||
    fail "$program: WM_CLASS is $class, the desktop entry says $wm_class"
  echo "$program: icon ${width}x${height}, $class"
  xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4
  for _ in $(seq 60); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.5
  done
  kill -0 "$program_pid" 2>/dev/null && fail "$program did not end when its window was closed"
  wait "$program_pid" || fail "$program ended with status $?"
  program_pid=
}

start_xvfb_session >/dev/null
export LANG=zh_CN.UTF-8 NO_AT_BRIDGE=1

echo "-- The program in the build folder"
check_window "$build/pellumo"

echo "-- Installing"
(cd "$(dirname "$package")" && apt-get install -y -q -o DPkg::Lock::Timeout=300 \
  "./$(basename "$package")" >"$work/apt.log" 2>&1) || { cat "$work/apt.log" >&2; fail "apt-get install"; }
installed_by_us=1
dpkg-query -L pellumo >"$work/files"
grep -qx /usr/bin/pellumo "$work/files" || fail "the package holds no /usr/bin/pellumo"

echo "-- The installed program"
# A user of its own, with a documents folder, whose backups must outlive the package.
mkdir -p "$work/home/.config" "$work/home/文档/Pellumo/pellumo"
echo 'XDG_DOCUMENTS_DIR="$HOME/文档"' >"$work/home/.config/user-dirs.dirs"
backup="$work/home/文档/Pellumo/pellumo/1 标题.html"
echo '正文' >"$backup"
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" check_window /usr/bin/pellumo

echo "-- Removing"
apt-get remove -y -q -o DPkg::Lock::Timeout=300 pellumo >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log" >&2; fail "apt-get remove"; }
installed_by_us=
if dpkg-query -W -f='${db:Status-Status}' pellumo 2>/dev/null | grep -qv '^not-installed$'; then
  fail "pellumo is still known to dpkg after its removal"
fi
# Folders shared with other packages stay; everything of the package's own must be gone.
while IFS= read -r path; do
  [[ -e "$path" || -L "$path" ]] || continue
  if [[ -d "$path" && ! -L "$path" ]] && { [[ -n "$(ls -A "$path")" ]] || dpkg -S "$path" >/dev/null 2>&1; }; then
    continue
  fi
  fail "$path is left after removal"
done <"$work/files"
[[ -f "$backup" ]] || fail "removing the package took the user's backups"
echo "Package test passed"
