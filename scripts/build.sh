#!/bin/sh
# Configures and builds Velmora into build/ (programs in build/bin).
set -eu
cd "$(dirname "$0")/.."
cmake -G Ninja -B build -S . -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
