#!/usr/bin/env bash
# Renders the pictures of docs/screenshots/ (main window, slave data panel, parameter editor and
# explicit message console, in Chinese and English) with the window tests on the offscreen
# platform: the bundled demo network, copied with its EDS files to a temporary folder, runs on
# adapter-emu serving the demo bus (resources/demo/bus.xml), so the data panel shows live data.
# Builds what it needs in build/ (ui_tests with adapter-emu, libvarda.so and libtamsen.so).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/docs/screenshots
mkdir -p "$out"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"${NORVANE_JOBS:-$(nproc)}" --target ui_tests
cd "$root/build/tests"
NORVANE_BIN_DIR=$root/build/bin NORVANE_SOURCE_DIR=$root QT_QPA_PLATFORM=offscreen NORVANE_SCREENSHOT_DIR=$out \
  ./ui_tests --gtest_filter='EveryWindowScreenshots.*'
ls -l "$out"
