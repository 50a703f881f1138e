#!/bin/sh
# Builds and runs the whole test suite through ctest: the normal build, then
# the core and terminal tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer (clang), with bounded libFuzzer runs.
set -eu
cd "$(dirname "$0")/.."

sh scripts/build.sh
ctest --test-dir build --output-on-failure -j2

CC=clang-14 CXX=clang++-14 cmake -G Ninja -B build-sanitize -S . \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_FUZZ=ON -DVELMORA_BUILD_GUI=OFF
cmake --build build-sanitize
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure -j2
