#!/usr/bin/env bash
# Installs every Debian 12 package needed to build, run and test Vyrelle.
# Run as root (or through sudo) on a fresh machine; safe to run again.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  libwxgtk3.2-dev libwebkit2gtk-4.0-dev libpango1.0-dev fonts-dejavu-core
  libuu-dev libssl-dev libcurl4-openssl-dev libzip-dev zlib1g-dev
  libhunspell-dev hunspell-en-us hunspell-de-de
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  dovecot-pop3d python3-aiosmtpd python3-pyftpdlib
  xvfb xauth x11-utils imagemagick openbox libxtst-dev
  desktop-file-utils appstream openssl ca-certificates
  fetchmail msmtp surf
  uudeview curl zip
  libcpp-httplib-dev libcli11-dev apache2-utils strace unzip
  librsvg2-bin xdg-utils
  dbus-daemon at-spi2-core libatk-adaptor python3-pyatspi python3-dbusmock
  libsecret-1-dev gnome-keyring
  libglib2.0-dev libglib2.0-bin iproute2 procps
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
