#!/usr/bin/env python3
"""Long runs of the demo with its resident memory sampled: whole demos back to back in one process
(--loop) and whole demos in separate processes, each captured at a small size (the fastest way to play
the whole demo frame by frame). Prints, per run, the resident memory at the run's end and its peak, and
the growth from the second run on: the mean peak of the last three runs against that of runs 2 to 4.
Resident memory swings by about 2% from run to run (the allocator and the OpenGL driver keep and give
back memory as they please), so single runs are compared in means of three.

    scripts/soak.py PROGRAM [--runs 10] [--size 64x48] [--fps 25] [--only loop|processes]

PROGRAM runs in its own folder (where its data/ is), with no display and a dummy audio device; any
extra environment (ASAN_OPTIONS for a sanitizer build, say) passes through. Exits non-zero when a run
fails or memory grows by 1% or more from the second run on.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

SAMPLE_SECONDS = 0.2
FRAME = re.compile(rb"frame (\d+)/")


def resident_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def last_frame(progress_path):
    """The frame the progress line reported last: it rewrites one line with carriage returns."""
    try:
        with open(progress_path, "rb") as progress:
            progress.seek(max(0, os.path.getsize(progress_path) - 256))
            found = FRAME.findall(progress.read())
    except OSError:
        return 0
    return int(found[-1]) if found else 0


def capture(program, arguments, output, progress_path, on_sample=None):
    """Runs one capture; returns (exit code, peak resident KiB from the kernel, captured frames)."""
    environment = dict(os.environ, SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy")
    with open(progress_path, "wb") as progress:
        child = subprocess.Popen([program, "--capture", output] + arguments, cwd=os.path.dirname(program),
                                 stdout=progress, stderr=subprocess.STDOUT, env=environment)
        while True:
            pid, status, usage = os.wait4(child.pid, os.WNOHANG)
            if pid != 0:
                break
            if on_sample is not None:
                rss = resident_kib(child.pid)
                if rss is not None:
                    on_sample(last_frame(progress_path), rss)
            time.sleep(SAMPLE_SECONDS)
    with open(progress_path, "rb") as progress:
        text = progress.read().decode(errors="replace")
    captured = re.search(r"Captured (\d+) frames", text)
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        sys.stderr.write(text[-2000:])
    return code, usage.ru_maxrss, int(captured.group(1)) if captured else 0


def growth(values):
    """Percent from the mean of runs 2 to 4 to the mean of the last three."""
    early = sum(values[1:4]) / len(values[1:4])
    late = sum(values[-3:]) / 3
    return 100.0 * (late - early) / early


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("program")
    parser.add_argument("--runs", type=int, default=10, help="at least 6")
    parser.add_argument("--size", default="64x48")
    parser.add_argument("--fps", type=int, default=25)
    parser.add_argument("--only", choices=["loop", "processes"])
    options = parser.parse_args()
    if options.runs < 6:
        parser.error("--runs must be at least 6: growth compares runs 2 to 4 with the last three")
    program = os.path.abspath(options.program)
    shape = ["--size", options.size, "--fps", str(options.fps)]
    work = tempfile.mkdtemp(prefix="quorvel-soak-")
    failed = False
    try:
        # One whole demo first: it tells how many frames a run has.
        started = time.monotonic()
        code, peak, frames_per_run = capture(program, shape, os.path.join(work, "first"),
                                             os.path.join(work, "first.out"))
        shutil.rmtree(os.path.join(work, "first"), ignore_errors=True)
        if code != 0 or frames_per_run == 0:
            print(f"the first run failed (exit code {code})")
            return 1
        print(f"a whole demo: {frames_per_run} frames at {options.fps} fps, {options.size}, "
              f"{time.monotonic() - started:.1f} s")

        if options.only in (None, "processes"):
            peaks = [peak]
            for run in range(2, options.runs + 1):
                output = os.path.join(work, f"process{run}")
                code, peak, frames = capture(program, shape, output, output + ".out")
                shutil.rmtree(output, ignore_errors=True)
                if code != 0 or frames != frames_per_run:
                    print(f"process {run} failed (exit code {code}, {frames} frames)")
                    return 1
                peaks.append(peak)
            print(f"{options.runs} processes, peak resident MiB: " +
                  " ".join(f"{p / 1024:.1f}" for p in peaks) +
                  f"  (growth from the second on: {growth(peaks):+.2f}%)")
            failed |= growth(peaks) >= 1.0

        if options.only in (None, "loop"):
            ends = [0] * options.runs
            highs = [0] * options.runs

            def on_sample(frame, rss):
                run = min(frame // frames_per_run, options.runs - 1)
                highs[run] = max(highs[run], rss)
                # The last sample inside a run stands for its end.
                if frame > 0:
                    ends[min((frame - 1) // frames_per_run, options.runs - 1)] = rss

            output = os.path.join(work, "loop")
            started = time.monotonic()
            code, peak, frames = capture(program, shape + ["--loop", "--frames", str(frames_per_run * options.runs)],
                                         output, output + ".out", on_sample)
            shutil.rmtree(output, ignore_errors=True)
            if code != 0 or frames != frames_per_run * options.runs:
                print(f"the loop failed (exit code {code}, {frames} frames)")
                return 1
            print(f"{options.runs} runs in one process ({time.monotonic() - started:.0f} s), resident MiB at each "
                  "run's end: " + " ".join(f"{e / 1024:.1f}" for e in ends))
            print("  peak within each run: " + " ".join(f"{h / 1024:.1f}" for h in highs) +
                  f"; growth from the second run on: {growth(highs):+.2f}%, peak of the process "
                  f"{peak / 1024:.1f} MiB")
            failed |= growth(highs) >= 1.0
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
