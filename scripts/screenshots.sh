#!/usr/bin/env bash
# Renders the pictures of docs/screenshots/ (main window, slave data panel, parameter editor and
# explicit message console, in Chinese and English) with the window tests on the offscreen
# platform. Needs a built build/ (ui_tests).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/docs/screenshots
mkdir -p "$out"
cd "$root/build/tests"
NORVANE_BIN_DIR=$root/build/bin NORVANE_SOURCE_DIR=$root QT_QPA_PLATFORM=offscreen NORVANE_SCREENSHOT_DIR=$out \
  ./ui_tests --gtest_filter='EveryWindowScreenshots.*'
ls -l "$out"
