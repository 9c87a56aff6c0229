#!/usr/bin/env bash
# Runs Norvane on the bundled emulated network:
#   1. installs the dependencies (scripts/setup-deps.sh) and builds in build/ only what the demo
#      runs: Norvane, norvanectl, libvarda.so, libtamsen.so, adapter-emu, varda-register and the
#      help pages (the tests are built by scripts/test.sh),
#   2. starts adapter-emu on resources/demo/bus.xml in a temporary folder,
#   3. writes a temporary registry file that names the built libtamsen.so for device type 101,
#   4. opens Norvane on resources/demo/demo.kld when there is a display and the program is built,
#      otherwise runs the same network headless with `norvanectl run` (Ctrl-C stops it; extra
#      arguments such as --seconds 30 are passed on),
#   5. stops the emulator and removes the temporary folder.
# With --usb as the first argument the program drives the emulated adapter through libtamsen.so's
# USB driver and libusb instead of the socket driver: adapter-emu --usb runs it with the adapter
# as an emulated USB device (umockdev), $NORVANE_DEMO_USB_ID (default 1a2b:0001).
# Started with sudo, it builds and runs as the invoking user so build/ stays theirs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
usb=0
if [ "${1:-}" = "--usb" ]; then
  usb=1
  shift
fi
usb_id=${NORVANE_DEMO_USB_ID:-1a2b:0001}

as_user() {
  if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "${SUDO_USER}" != "root" ]; then
    sudo -u "$SUDO_USER" -- "$@"
  else
    "$@"
  fi
}

bash scripts/setup-deps.sh
as_user cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
as_user cmake --build "$root/build" -j"${NORVANE_JOBS:-$(nproc)}" \
  --target Norvane norvanectl varda tamsen adapter-emu varda-register norvane_help

bin=$root/build/bin
work=$(as_user mktemp -d "${TMPDIR:-/tmp}/norvane-demo.XXXXXX")
emu_pid=""
cleanup() {
  if [ -n "$emu_pid" ] && kill -0 "$emu_pid" 2>/dev/null; then
    kill "$emu_pid" 2>/dev/null || true
    wait "$emu_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

cat >"$work/registry.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\BRAMWELL\\VARDA\\101]
"DLL"="$bin/libtamsen.so"
REG

demo=$root/resources/demo/demo.kld
if [ -x "$bin/Norvane" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  program=("$bin/Norvane" "$demo")
else
  echo "run-demo: running the demo network with norvanectl (Ctrl-C stops it)"
  program=("$bin/norvanectl" run "$demo" "$@")
fi

if [ "$usb" -eq 1 ]; then
  # The emulator owns the emulated USB bus and runs the program on it; it stops when the program
  # ends (Ctrl-C reaches both: the program stops its masters, the emulator waits for it).
  as_user "$bin/adapter-emu" --usb "$usb_id" --dir "$work/dev" --bus "$root/resources/demo/bus.xml" \
    --state "$work/state" -- env "VARDA_REGISTRY=$work/registry.reg" "${program[@]}"
  exit $?
fi

# The emulator runs in a session of its own, so Ctrl-C reaches only the program, which then stops
# its masters while the emulator still answers.
# Started directly (not through a shell function) so that $! is the emulator itself (or the sudo
# that forwards signals to it), and the clean-up really stops it.
emu_args=(setsid "$bin/adapter-emu" --dir "$work/dev" --bus "$root/resources/demo/bus.xml" --state "$work/state")
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "${SUDO_USER}" != "root" ]; then
  sudo -u "$SUDO_USER" -- "${emu_args[@]}" >"$work/adapter-emu.log" 2>&1 &
else
  "${emu_args[@]}" >"$work/adapter-emu.log" 2>&1 &
fi
emu_pid=$!
for _ in $(seq 100); do
  [ -S "$work/dev/adapter0/PIPE09" ] && break
  if ! kill -0 "$emu_pid" 2>/dev/null; then
    cat "$work/adapter-emu.log" >&2
    echo "run-demo: adapter-emu did not start" >&2
    exit 1
  fi
  sleep 0.1
done

as_user env "VARDA_REGISTRY=$work/registry.reg" "TAMSEN_DEVICE_DIR=$work/dev" "${program[@]}"
