#!/usr/bin/env python3
"""capture_memory.py: the memory and the time of video captures, oargala and
its ffmpeg together, for one or more oargala binaries run in turn on the same
data (so that a busy machine slows them alike).

    bench/capture_memory.py [--runs N] SIZE:SECONDS [SIZE:SECONDS ...] -- BINARY [BINARY ...]

e.g. bench/capture_memory.py 640x480:30 3840x2160:3 -- /work/main/build-tests/oargala build-tests/oargala

Each capture is `BINARY --capture OUT.mp4 --size SIZE --to SECONDS` in a
fresh folder with a data/ link to the source tree's. Both processes are
sampled every 20 ms (/proc/PID/status): the peak of their resident memory
added up, and each one's own high-water mark (VmHWM) at its last sample,
whose sum bounds the peak from above. Prints a Markdown table. Needs ffmpeg.
Depends on Python 3 and Linux's /proc.
"""
import os
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def status_kb(pid, field):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def children(pid):
    found = []
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{task}/children") as f:
                found += [int(p) for p in f.read().split()]
    except OSError:
        pass
    return found


def capture(binary, size, seconds):
    with tempfile.TemporaryDirectory() as folder:
        os.symlink(os.path.join(SOURCE, "data"), os.path.join(folder, "data"))
        start = time.monotonic()
        proc = subprocess.Popen([os.path.abspath(binary), "--capture", "out.mp4", "--size", size, "--to", seconds],
                                cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        peak_sum, hwm = 0, {}
        while proc.poll() is None:
            pids = [proc.pid] + children(proc.pid)
            rss = 0
            for pid in pids:
                rss += status_kb(pid, "VmRSS")
                hwm[pid] = max(hwm.get(pid, 0), status_kb(pid, "VmHWM"))
            peak_sum = max(peak_sum, rss)
            time.sleep(0.02)
        wall = time.monotonic() - start
        err = proc.stderr.read().decode(errors="replace")
        if proc.returncode != 0 or "captured" not in err:
            sys.exit(f"capture failed ({binary} {size}):\n{err}")
        own = hwm.pop(proc.pid, 0)
        return wall, peak_sum / 1024, own / 1024, max(hwm.values(), default=0) / 1024


def main():
    args = sys.argv[1:]
    runs = 1
    if args[:1] == ["--runs"]:
        runs, args = int(args[1]), args[2:]
    split = args.index("--")
    cases, binaries = args[:split], args[split + 1:]
    print("| binary | size, seconds of show | wall (s) | peak of both (MB) | oargala's peak (MB) | ffmpeg's peak (MB) |")
    print("|---|---|---|---|---|---|")
    for case in cases:
        size, seconds = case.split(":")
        for _ in range(runs):
            for binary in binaries:
                wall, both, own, ffmpeg = capture(binary, size, seconds)
                print(f"| {binary} | {size}, {seconds} s | {wall:.1f} | {both:.0f} | {own:.0f} | {ffmpeg:.0f} |",
                      flush=True)


if __name__ == "__main__":
    main()
