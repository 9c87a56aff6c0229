#!/usr/bin/env python3
"""Soak run of the window: Norvane (offscreen) against adapter-emu with faults injected.

Started by scripts/soak.sh, which builds the programs. This starts adapter-emu on the demo bus in
a temporary folder, runs Norvane's script "open the demo network, soak SECONDS" (the window's own
random driver, app/ui/frame/soak_driver.h), injects faults through the emulator's control socket
meanwhile, samples Norvane's resident memory every second, and judges the run:

  - Norvane ended by itself with exit code 0 (no crash, every script line succeeded) and the
    emulator still ran;
  - no sanitizer report on Norvane's or the emulator's error output;
  - every failure the driver watched reached the log or a box (no "UNREPORTED" line): failed
    starts and console requests, and every failed I/O read or write and parameter-editor request
    that the master API returned (counted under the window, matched with the log's error rows);
  - resident memory grew less than 5 MB between minute 1 and the end of the random run (judged in
    runs of 2 minutes or more: before minute 1 the window is still warming up, so a shorter run
    prints its growth from a third of the run without judging it; not judged in an ASan build:
    LeakSanitizer judges leaks).
"""

import argparse
import atexit
import os
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

RSS_LIMIT_KB = 5 * 1024
SANITIZER_PATTERNS = [
    re.compile(r"ERROR: AddressSanitizer"),
    re.compile(r"ERROR: LeakSanitizer"),
    re.compile(r"runtime error: "),
    re.compile(r"WARNING: ThreadSanitizer"),
    re.compile(r"SUMMARY: (Address|Leak|UndefinedBehavior)Sanitizer"),
]
DEMO_SLAVES = [1, 2, 3, 4, 5, 6]  # MAC IDs of resources/demo/bus.xml


def gdb_child(pid):
    """The program gdb runs (--gdb)."""
    try:
        with open(f"/proc/{pid}/task/{pid}/children", encoding="ascii") as children:
            found = children.read().split()
        return int(found[0]) if found else None
    except OSError:
        return None


def rss_kb(pid):
    try:
        with open(f"/proc/{pid}/status", encoding="ascii") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


class Emulator:
    """adapter-emu on the demo bus, and its control socket."""

    def __init__(self, binary, bus, work, env):
        self.dev = os.path.join(work, "dev")
        self.log = open(os.path.join(work, "adapter-emu.log"), "wb")
        self.process = subprocess.Popen(
            [binary, "--dir", self.dev, "--bus", bus, "--state", os.path.join(work, "state"), "--fast"],
            stdout=self.log, stderr=subprocess.STDOUT, env=env, start_new_session=True)
        deadline = time.monotonic() + 30
        while not os.path.exists(os.path.join(self.dev, "control")):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("adapter-emu did not start (see adapter-emu.log)")
            time.sleep(0.05)

    def command(self, line):
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as control:
            control.settimeout(5)
            control.connect(os.path.join(self.dev, "control"))
            control.sendall((line + "\n").encode())
            answer = b""
            while not answer.endswith(b"\n"):
                chunk = control.recv(256)
                if not chunk:
                    break
                answer += chunk
        return answer.decode(errors="replace").strip()

    def stop(self):
        alive = self.process.poll() is None
        if alive:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()
        return alive


class FaultInjector:
    """Random faults, each undone after a while: unplug/replug, silent, absent, idle and slow
    slaves, and one-shot faults of the next acknowledge (dropped, wrong code, wrong length, long,
    error, delayed) or a halted pipe."""

    ONE_SHOT = [
        ("drop-ack", lambda r: "0 drop-ack"),
        ("wrong-code", lambda r: "0 wrong-code"),
        ("bad-length", lambda r: "0 bad-length"),
        ("long-ack", lambda r: "0 long-ack"),
        ("error-ack", lambda r: f"0 error-ack {r.choice([46, 55, 59, 61, 62, 64])}"),
        ("delay", lambda r: f"0 delay {r.randint(100, 2500)}"),
        ("stall", lambda r: f"0 stall {r.choice([0, 1, 2, 3, 6, 7])}"),
    ]

    def __init__(self, emulator, rng, log):
        self.emulator = emulator
        self.rng = rng
        self.log = log
        self.undo = []  # (time, command)
        self.counts = {}
        self.errors = 0
        self.unplugged = False

    def send(self, kind, command, at):
        answer = self.emulator.command(command)
        self.log.write(f"{at:8.3f} {command} -> {answer}\n")
        if answer != "ok":
            self.errors += 1
        else:
            self.counts[kind] = self.counts.get(kind, 0) + 1

    def step(self, at):
        for entry in [u for u in self.undo if u[0] <= at]:
            self.undo.remove(entry)
            if entry[1] == "0 replug":
                self.unplugged = False
            self.send("undo", entry[1], at)
        draw = self.rng.random()
        if draw < 0.08 and not self.unplugged:
            self.unplugged = True
            self.send("unplug", "0 unplug", at)
            self.undo.append((at + self.rng.uniform(0.5, 5), "0 replug"))
        elif draw < 0.65:
            mac = self.rng.choice(DEMO_SLAVES)
            kind, undo = self.rng.choice([("stop", "resume"), ("absent", "present"), ("idle", "active"),
                                          ("delay", "delay 0")])
            fault = f"delay {self.rng.randint(50, 3000)}" if kind == "delay" else kind
            self.send(f"slave {kind}", f"0 slave {mac} {fault}", at)
            self.undo.append((at + self.rng.uniform(1, 8), f"0 slave {mac} {undo}"))
        else:
            kind, make = self.rng.choice(self.ONE_SHOT)
            self.send(kind, make(self.rng), at)

    def undo_all(self, at):
        for _, command in sorted(self.undo):
            self.send("undo", command, at)
        self.undo = []
        self.unplugged = False


def sanitizer_lines(path):
    found = []
    with open(path, encoding="utf-8", errors="replace") as text:
        for line in text:
            if any(p.search(line) for p in SANITIZER_PATTERNS):
                found.append(line.rstrip())
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin", required=True, help="folder of Norvane, adapter-emu and libtamsen.so")
    parser.add_argument("--repo", required=True, help="the source tree (for the demo network)")
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--label", default="", help="what build this is, for the report")
    parser.add_argument("--asan", action="store_true",
                        help="an AddressSanitizer build: its allocator's quarantine and caches make resident "
                             "memory no measure of the program's, so the growth is shown, not judged; "
                             "LeakSanitizer judges leaks at exit")
    parser.add_argument("--gdb", action="store_true",
                        help="run Norvane under gdb, which prints every thread's stack when it crashes")
    args = parser.parse_args()

    seed = args.seed if args.seed is not None else random.SystemRandom().randint(1, 999999)
    rng = random.Random(seed)
    seconds = args.seconds
    reference = 60 if seconds >= 120 else max(1, seconds // 3)
    memory_judged = seconds >= 120 and not args.asan

    work = tempfile.mkdtemp(prefix="norvane-soak.")
    net = os.path.join(work, "net")
    demo = os.path.join(args.repo, "resources", "demo")
    os.makedirs(net)
    shutil.copy(os.path.join(demo, "demo.kld"), net)
    shutil.copytree(os.path.join(demo, "eds"), os.path.join(net, "eds"))
    network_file = os.path.join(net, "demo.kld")
    # The program's own folder is a copy: the program writes its settings (the language chosen,
    # the log switches) beside itself when it can, and the build tree must stay as built.
    program = os.path.join(work, "program")
    os.makedirs(program)
    for name in ("Norvane.xml", "config.xml", "language", "edsfile"):
        source = os.path.join(args.bin, name)
        if os.path.isdir(source):
            shutil.copytree(source, os.path.join(program, name))
        elif os.path.exists(source):
            shutil.copy(source, program)
    with open(os.path.join(work, "registry.reg"), "w", encoding="ascii") as registry:
        registry.write("Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\BRAMWELL\\VARDA\\101]\n"
                       f"\"DLL\"=\"{os.path.join(args.bin, 'libtamsen.so')}\"\n")
    with open(os.path.join(work, "script.txt"), "w", encoding="utf-8") as script:
        script.write(f"open {network_file}\nsoak {seconds} {seed} {network_file}\n")

    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "SESSION_MANAGER"):
        env.pop(name, None)
    env.update({
        "QT_QPA_PLATFORM": "offscreen",
        "HOME": os.path.join(work, "home"),
        "XDG_CONFIG_HOME": os.path.join(work, "config"),
        "XDG_DATA_HOME": os.path.join(work, "data"),
        "XDG_CACHE_HOME": os.path.join(work, "cache"),
        "XDG_STATE_HOME": os.path.join(work, "state-home"),
        "XDG_RUNTIME_DIR": os.path.join(work, "runtime"),
        "NORVANE_HOME": program,
        "VARDA_REGISTRY": os.path.join(work, "registry.reg"),
        "TAMSEN_DEVICE_DIR": os.path.join(work, "dev"),
        "VARDA_DEBUG_OUTPUT": os.path.join(work, "varda-debug.log"),
    })
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
    suppressions = os.path.join(os.path.dirname(os.path.abspath(__file__)), "lsan.supp")
    env.setdefault("ASAN_OPTIONS", "detect_leaks=1:halt_on_error=1")
    env["LSAN_OPTIONS"] = f"suppressions={suppressions}:print_suppressions=0"
    env.setdefault("UBSAN_OPTIONS", "halt_on_error=1:print_stacktrace=1")

    print(f"soak: {args.label or 'build'} {args.bin}, {seconds} s, seed {seed}, work folder {work}")
    emulator = Emulator(os.path.join(args.bin, "adapter-emu"), os.path.join(demo, "bus.xml"), work, env)
    atexit.register(emulator.stop)  # also when this script fails
    out = open(os.path.join(work, "norvane.out"), "wb")
    err = open(os.path.join(work, "norvane.err"), "wb")
    faults_log = open(os.path.join(work, "faults.log"), "w", encoding="utf-8")
    command = [os.path.join(args.bin, "Norvane"), "--script", os.path.join(work, "script.txt")]
    if args.gdb:
        command = ["gdb", "-q", "-batch", "-return-child-result", "-ex", "set pagination off",
                   "-ex", "handle SIGPIPE nostop noprint", "-ex", "run", "-ex", "thread apply all bt 30",
                   "--args"] + command
    norvane = subprocess.Popen(command, stdout=out, stderr=err, env=env, cwd=work)
    atexit.register(lambda: norvane.poll() is None and norvane.kill())
    injector = FaultInjector(emulator, rng, faults_log)

    # Faults and the memory clock start with the soak line, after the network is open: the driver
    # prints "begins" then.
    out_path = os.path.join(work, "norvane.out")
    begin = None
    samples = []  # (seconds since the soak began, kB)
    next_fault = next_sample = 0.0
    limit = time.monotonic() + seconds + 300
    faults_stopped = False
    rc = None
    measured = norvane.pid
    while True:
        rc = norvane.poll()
        if rc is not None:
            break
        now = time.monotonic()
        if now > limit:
            norvane.kill()
            rc = norvane.wait()
            print("soak: Norvane did not finish in time and was killed")
            break
        if begin is None:
            with open(out_path, encoding="utf-8", errors="replace") as text:
                if " begins: " in text.read():
                    begin = now
                    next_fault = now + 1
                    next_sample = now
                    if args.gdb:
                        measured = gdb_child(norvane.pid) or norvane.pid
            time.sleep(0.05)
            continue
        at = now - begin
        if now >= next_sample:
            kb = rss_kb(measured)
            if kb is not None:
                samples.append((at, kb))
            next_sample += 1
        if not faults_stopped and at >= seconds - 3:
            # The last seconds run without faults, so the window winds down on a sound bus.
            injector.undo_all(at)
            faults_stopped = True
        elif not faults_stopped and now >= next_fault:
            injector.step(at)
            next_fault = now + rng.uniform(1, 4)
        time.sleep(0.05)
    out.close()
    err.close()
    faults_log.close()
    emulator_alive = emulator.stop()
    with open(os.path.join(work, "rss.log"), "w", encoding="ascii") as rss_log:
        rss_log.writelines(f"{t:8.3f} {kb}\n" for t, kb in samples)

    # ---- the verdict ----
    problems = []
    with open(os.path.join(work, "norvane.out"), encoding="utf-8", errors="replace") as text:
        output = text.read().splitlines()
    soak_lines = [line for line in output if line.startswith("soak: ")]
    unreported = [line for line in output if "UNREPORTED" in line]
    script_failures = [line for line in output if line.startswith("script: FAILED")]
    if rc != 0:
        problems.append(f"Norvane ended with {'signal ' + str(-rc) if rc < 0 else 'exit code ' + str(rc)}")
    if not emulator_alive:
        problems.append("adapter-emu ended during the run")
    reports = sanitizer_lines(os.path.join(work, "norvane.err")) + sanitizer_lines(os.path.join(work, "adapter-emu.log"))
    if reports:
        problems.append(f"{len(reports)} sanitizer report lines")
    if unreported:
        problems.append(f"{len(unreported)} failures reached neither the log nor a box")
    if script_failures:
        problems.append(f"{len(script_failures)} script lines failed")

    def rss_at(when):
        before = [kb for t, kb in samples if t <= when]
        return before[-1] if before else None

    rss_first = samples[0][1] if samples else None
    rss_reference = rss_at(reference)
    rss_end = rss_at(seconds)
    growth = None if rss_reference is None or rss_end is None else rss_end - rss_reference
    if growth is None:
        problems.append("no memory figures (the run ended too early)")
    elif growth >= RSS_LIMIT_KB and memory_judged:
        problems.append(f"resident memory grew {growth} kB (limit {RSS_LIMIT_KB} kB)")

    def count(prefix):
        return sum(1 for line in soak_lines if prefix in line)

    summary = [line for line in soak_lines
               if " actions: " in line or " boxes " in line or " master API failures " in line]
    print(f"soak: window: {len(soak_lines)} driver lines, {count(' command ')} commands, "
          f"{count(' box: ')} boxes, {count(' log: ')} log rows, {count(' start finished: started')} starts, "
          f"{count(' start finished: failed')} failed starts, {count(' data panes: ')} data-pane rounds")
    for line in summary:
        print("soak: window: " + line.split(None, 2)[2])
    faults = ", ".join(f"{k} {v}" for k, v in sorted(injector.counts.items()))
    print(f"soak: faults injected: {faults or 'none'}; refused by the emulator: {injector.errors}")
    if samples:
        peak = max(kb for _, kb in samples)
        print(f"soak: resident memory: {rss_first} kB at start, {rss_reference} kB at {reference} s, "
              f"{rss_end} kB at {seconds} s, peak {peak} kB; growth {reference} s to end: "
              f"{growth} kB " + ("(not judged in an ASan build)" if args.asan else
                                 f"(limit {RSS_LIMIT_KB} kB)" if memory_judged else
                                 "(not judged in a run shorter than 2 minutes)"))
    for line in reports[:20]:
        print("soak: sanitizer: " + line)
    for line in (unreported + script_failures)[:20]:
        print("soak: " + line)
    if problems:
        print("soak: FAILED: " + "; ".join(problems) + f" (work folder kept: {work})")
        return 1
    print("soak: passed")
    if args.keep:
        print(f"soak: work folder kept: {work}")
    else:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
