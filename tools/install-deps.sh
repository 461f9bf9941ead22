#!/usr/bin/env bash
# Installs what building, running and testing Pellumo need on Debian 12. Safe to run again:
# when everything is already there it changes nothing.
set -euo pipefail

packages=(
  g++ cmake make pkg-config git
  libgtkmm-4.0-dev libwebkitgtk-6.0-dev libx11-dev libcurl4-openssl-dev libcpp-httplib-dev
  libicu-dev googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  xvfb openbox xdotool x11-utils imagemagick
  libgumbo-dev
  fonts-noto-cjk locales
  nlohmann-json3-dev
  librsvg2-bin libglib2.0-dev-bin openssl
  dpkg-dev file lintian desktop-file-utils appstream
  hugo cmark libxml2-utils python3 python3-yaml libyaml-dev nodejs
)

# The exports' checks run a WordPress importer from the npm registry. Debian's nodejs comes
# without npm; a Node.js from elsewhere may bring its own, which Debian's npm would conflict with.
if ! command -v npm >/dev/null 2>&1; then
  packages+=(npm)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Chinese text is drawn with simplified-Chinese glyph forms only under a Chinese locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  echo "Generating the zh_CN.UTF-8 locale"
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
