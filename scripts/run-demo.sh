#!/usr/bin/env bash
# Runs Norvane on the bundled emulated network:
#   1. installs the dependencies (scripts/setup-deps.sh) and builds everything in build/,
#   2. starts adapter-emu on resources/demo/bus.xml in a temporary folder,
#   3. writes a temporary registry file that names the built libtamsen.so for device type 101,
#   4. opens Norvane on resources/demo/demo.kld when there is a display and the program is built,
#      otherwise runs the same network headless with `norvanectl run` (Ctrl-C stops it; extra
#      arguments such as --seconds 30 are passed on),
#   5. stops the emulator and removes the temporary folder.
# Started with sudo, it builds and runs as the invoking user so build/ stays theirs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

as_user() {
  if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "${SUDO_USER}" != "root" ]; then
    sudo -u "$SUDO_USER" -- "$@"
  else
    "$@"
  fi
}

bash scripts/setup-deps.sh
as_user cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
as_user cmake --build "$root/build" -j"${NORVANE_JOBS:-$(nproc)}"

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

cat >"$work/registry.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\BRAMWELL\\VARDA\\101]
"DLL"="$bin/libtamsen.so"
REG

run_env=(env "VARDA_REGISTRY=$work/registry.reg" "TAMSEN_DEVICE_DIR=$work/dev")
demo=$root/resources/demo/demo.kld
if [ -x "$bin/Norvane" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  as_user "${run_env[@]}" "$bin/Norvane" "$demo"
else
  echo "run-demo: running the demo network with norvanectl (Ctrl-C stops it)"
  as_user "${run_env[@]}" "$bin/norvanectl" run "$demo" "$@"
fi
