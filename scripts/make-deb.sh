#!/bin/sh
# Builds the Debian package of Velmora into build-deb/ (velmora_*.deb),
# installing under /usr: the programs and their data in /usr/lib/velmora,
# links in /usr/bin, the menu entry and the icon in /usr/share.
# Install it with: sudo apt-get install ./build-deb/velmora_*.deb
set -eu
cd "$(dirname "$0")/.."
cmake -G Ninja -B build-deb -S . -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build-deb
(cd build-deb && cpack -G DEB)
ls build-deb/*.deb
