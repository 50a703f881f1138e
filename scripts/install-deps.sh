#!/bin/sh
# Installs every Debian 12 package Velmora needs to build, test, benchmark
# and run.  Safe to run again: apt-get skips what is already there.
set -eu

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps.sh must run as root (it calls apt-get)" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
    ca-certificates \
    g++ cmake ninja-build pkg-config git \
    clang-14 libclang-rt-14-dev \
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools \
    qt6-svg-dev qt6-qpa-plugins libqt6svg6 \
    libgl-dev fonts-dejavu-core fonts-liberation fonts-noto-cjk fontconfig xdg-utils \
    libavformat-dev libavcodec-dev libavutil-dev libswresample-dev \
    libmp3lame-dev libsdl2-dev libtag1-dev libebur128-dev \
    libgtest-dev libgmock-dev \
    ffmpeg lame sox libsox-fmt-mp3 xvfb xauth x11-apps x11-utils imagemagick \
    desktop-file-utils dpkg-dev file help2man \
    xdotool openbox time hyperfine bc \
    dbus at-spi2-core python3-pyatspi \
    pulseaudio pulseaudio-utils qt6-translations-l10n
