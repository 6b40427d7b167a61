#!/usr/bin/env python3
"""Whole-process timings of ombrix-merge against the cost of just reading and copying the files.

For each list size and policy it runs, side by side and in turns so that both see the same machine:
  floor    sh -c 'cat NEW_KEYS > /dev/null && cp FILE_TO_UPDATE OUT && sync OUT' (the merge, too, waits
           until its output is on the disk)
  memory   ombrix-merge --engine=memory -o OUT NEW_KEYS FILE_TO_UPDATE
  file     ombrix-merge --engine=file ... (the slow reference; once, and only up to --file-engine-max games)
and prints the medians, the ratios and the peak memory as one Markdown table.

Then a three-way table: on the same lists, keep-my-edits with --base against replace-all, each run with an
empty folder of bases, so that both keep the new keys as the base of their output every time.

Then, for lists of other shapes (--shapes, the shapes of bench/make_game_lists), the same floor against a
replace-all merge, a --report merge and --check, with the peak memory of the merge, as a third table.

Last, the goals (--goals): for each list the merge against the floor, or keep-my-edits --base against
replace-all, next to its limit, with the peak memory against four times the files plus 10 MiB, and whether
both hold. With --skip-plain only the shapes and the goals are measured.

Usage: run_benchmarks.py BUILD_DIR [--runs N] [--sizes 800,5000,50000] [--file-engine-max 5000]
                         [--shapes tagged:5000,large-section:20000,...] [--goals] [--skip-plain]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

POLICIES = ["replace-all", "keep-playable", "keep-existing"]
SHAPES = ("tagged:5000,tagged:50000,tagged-shuffled:5000,tagged-shuffled:50000,large-section:20000,"
          "large-section:100000,large-shuffled:20000,large-shuffled:100000,all-bang:20000,"
          "long-bracket-line:100000,deep-brackets:100000")
# (shape, count, what is timed, the most it may take, as a multiple of the floor or of replace-all)
GOALS = [("mixed", 5000, "merge", 4), ("mixed", 50000, "merge", 4), ("all-bang", 50000, "merge", 4),
         ("short-keys", 100000, "merge", 5), ("short-keys-shuffled", 100000, "merge", 5),
         ("hostile", 100000, "merge", 10), ("long-bracket-line", 100000, "merge", 10),
         ("deep-brackets", 100000, "merge", 10), ("mixed", 50000, "keep-my-edits", 1.5),
         ("equal-signs-base", 50000, "keep-my-edits", None), ("only-brackets", 50000, "merge", None)]


def run_once(command):
    """Runs a command and returns its wall-clock seconds."""
    start = time.perf_counter()
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"failed: {' '.join(command)}")
    return elapsed


def peak_kilobytes(command):
    """The peak resident memory of the command's own process, measured by GNU time (Debian package 'time')."""
    with tempfile.NamedTemporaryFile("r") as report:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + command,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        return int(report.read().split()[-1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=11)
    parser.add_argument("--sizes", default="800,5000,50000")
    parser.add_argument("--file-engine-max", type=int, default=5000)
    parser.add_argument("--shapes", default=SHAPES)
    parser.add_argument("--skip-plain", action="store_true")
    parser.add_argument("--goals", action="store_true")
    args = parser.parse_args()

    merge = os.path.join(args.build, "cli", "ombrix-merge")
    make_lists = os.path.join(args.build, "bench", "make_game_lists")
    sizes = [int(size) for size in args.sizes.split(",")]

    if not os.access("/usr/bin/time", os.X_OK):
        sys.exit("needs GNU time for the peak memory: apt-get install time")
    # Merges keep the bases of the lists they write in the user's data folder: these keep theirs here.
    with tempfile.TemporaryDirectory() as data:
        os.environ["OMBRIX_MERGER_DATA"] = data
        if not args.skip_plain:
            plain_table(args, merge, make_lists, sizes)
            three_way_table(args, merge, make_lists, sizes)
        if args.shapes:
            shapes_table(args, merge, make_lists)
        if args.goals:
            goals_table(args, merge, make_lists)


def median_against_floor(floor, command, runs):
    """Runs the floor and the command in turns; returns both medians."""
    floor_times, times = [], []
    for _ in range(runs):
        floor_times.append(run_once(floor))
        times.append(run_once(command))
    return statistics.median(floor_times), statistics.median(times)


def medians_in_turns(commands, runs, bases):
    """Runs the commands in turns, each from an empty folder of kept bases; returns their medians."""
    times = [[] for _ in commands]
    for _ in range(runs):
        for command, kept in zip(commands, times):
            shutil.rmtree(bases, ignore_errors=True)
            kept.append(run_once(command))
    shutil.rmtree(bases, ignore_errors=True)
    return [statistics.median(kept) for kept in times]


def three_way_table(args, merge, make_lists, sizes):
    print("\n| games | list sizes (with the base) | replace-all | keep-my-edits --base | / replace-all "
          "| peak memory (limit) |")
    print("|---:|---|---:|---:|---:|---:|")
    bases = os.path.join(os.environ["OMBRIX_MERGER_DATA"], "bases")
    with tempfile.TemporaryDirectory() as work:
        for games in sizes:
            folder = os.path.join(work, str(games))
            subprocess.run([make_lists, str(games), folder], check=True)
            new_keys, mine, base, out = (os.path.join(folder, name) for name in
                                         ("new_keys.ini", "file_to_update.ini", "base.ini", "out.ini"))
            input_bytes = sum(os.path.getsize(path) for path in (new_keys, mine, base))
            replace_all = [merge, "--quiet", "--policy", "replace-all", "-o", out, new_keys, mine]
            three_way = [merge, "--quiet", "--policy", "keep-my-edits", "--base", base, "-o", out, new_keys, mine]
            plain, merged = medians_in_turns((replace_all, three_way), args.runs, bases)
            peak = peak_kilobytes(three_way)
            limit_kb = 4 * input_bytes / 1024 + 10 * 1024
            print(f"| {games} | {input_bytes / 1e6:.2f} MB | {plain * 1000:.1f} ms | {merged * 1000:.1f} ms "
                  f"| {merged / plain:.1f}x | {peak / 1024:.1f} MB ({limit_kb / 1024:.0f} MB) |", flush=True)


def shapes_table(args, merge, make_lists):
    print("\n| list | count | list sizes | floor (cat + cp + sync) | replace-all | / floor | --report | / floor "
          "| --check | / floor | peak memory (limit) |")
    print("|---|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    with tempfile.TemporaryDirectory() as work:
        for item in args.shapes.split(","):
            shape, count = item.split(":")
            folder = os.path.join(work, item.replace(":", "-"))
            subprocess.run([make_lists, count, folder, shape], check=True)
            new_keys = os.path.join(folder, "new_keys.ini")
            mine = os.path.join(folder, "file_to_update.ini")
            out = os.path.join(folder, "out.ini")
            input_bytes = os.path.getsize(new_keys) + os.path.getsize(mine)
            floor = ["sh", "-c", f"cat '{new_keys}' > /dev/null && cp '{mine}' '{out}' && sync '{out}'"]
            merge_command = [merge, "--quiet", "--policy", "replace-all", "-o", out, new_keys, mine]
            report = [merge, "--quiet", "--policy", "replace-all", "--report", "-o", out, new_keys, mine]
            check = ["sh", "-c", f"'{merge}' --check '{mine}' > /dev/null; true"]
            cells = []
            floor_median = None
            for command in (merge_command, report, check):
                floor_median_now, median = median_against_floor(floor, command, args.runs)
                floor_median = floor_median_now if floor_median is None else min(floor_median, floor_median_now)
                cells.append(median)
            peak = peak_kilobytes(merge_command)
            limit_kb = 4 * input_bytes / 1024 + 10 * 1024
            print(f"| {shape} | {count} | {input_bytes / 1e6:.2f} MB | {floor_median * 1000:.1f} ms | "
                  + " | ".join(f"{c * 1000:.1f} ms | {c / floor_median:.1f}x" for c in cells)
                  + f" | {peak / 1024:.1f} MB ({limit_kb / 1024:.0f} MB) |", flush=True)


def goals_table(args, merge, make_lists):
    print("\n| list | count | list sizes | timed | against | ratio | limit | peak memory (limit) | holds |")
    print("|---|---:|---|---|---:|---:|---:|---:|---|")
    bases = os.path.join(os.environ["OMBRIX_MERGER_DATA"], "bases")
    with tempfile.TemporaryDirectory() as work:
        for shape, count, timed, limit in GOALS:
            folder = os.path.join(work, f"{shape}-{count}")
            if not os.path.isdir(folder):
                subprocess.run([make_lists, str(count), folder, shape], check=True)
            new_keys, mine, base, out = (os.path.join(folder, name) for name in
                                         ("new_keys.ini", "file_to_update.ini", "base.ini", "out.ini"))
            files = [new_keys, mine] + ([base] if timed == "keep-my-edits" else [])
            input_bytes = sum(os.path.getsize(path) for path in files)
            replace_all = [merge, "--quiet", "--policy", "replace-all", "-o", out, new_keys, mine]
            three_way = [merge, "--quiet", "--policy", "keep-my-edits", "--base", base, "-o", out, new_keys, mine]
            if timed == "merge":
                against = ["sh", "-c", f"cat '{new_keys}' > /dev/null && cp '{mine}' '{out}' && sync '{out}'"]
                command, against_name = replace_all, "floor"
            else:
                against, command, against_name = replace_all, three_way, "replace-all"
            baseline, measured = medians_in_turns((against, command), args.runs, bases)
            peak = peak_kilobytes(command)
            ratio = measured / baseline
            limit_kb = 4 * input_bytes / 1024 + 10 * 1024
            holds = peak <= limit_kb and (limit is None or ratio <= limit)
            print(f"| {shape} | {count} | {input_bytes / 1e6:.2f} MB | {timed} {measured * 1000:.1f} ms "
                  f"| {against_name} {baseline * 1000:.1f} ms | {ratio:.1f}x | "
                  f"{'-' if limit is None else f'{limit}x'} | {peak / 1024:.1f} MB ({limit_kb / 1024:.0f} MB) "
                  f"| {'yes' if holds else 'NO'} |", flush=True)


def plain_table(args, merge, make_lists, sizes):
    print("| games | list sizes | policy | floor (cat + cp + sync) | memory engine | memory / floor "
          "| file engine | file / memory | peak memory (limit) |")
    print("|---:|---|---|---:|---:|---:|---:|---:|---:|")
    medians = {}
    with tempfile.TemporaryDirectory() as work:
        for games in sizes:
            folder = os.path.join(work, str(games))
            subprocess.run([make_lists, str(games), folder], check=True)
            new_keys = os.path.join(folder, "new_keys.ini")
            mine = os.path.join(folder, "file_to_update.ini")
            out = os.path.join(folder, "out.ini")
            input_bytes = os.path.getsize(new_keys) + os.path.getsize(mine)
            floor = ["sh", "-c", f"cat '{new_keys}' > /dev/null && cp '{mine}' '{out}' && sync '{out}'"]
            for policy in POLICIES:
                memory = [merge, "--quiet", "--engine=memory", "--policy", policy, "-o", out, new_keys, mine]
                floor_times, memory_times = [], []
                for _ in range(args.runs):
                    floor_times.append(run_once(floor))
                    memory_times.append(run_once(memory))
                peak = peak_kilobytes(memory)
                floor_median = statistics.median(floor_times)
                memory_median = statistics.median(memory_times)
                medians[(games, policy)] = memory_median
                file_cells = "-", "-"
                if games <= args.file_engine_max:
                    reference = [merge, "--quiet", "--engine=file", "--policy", policy, "-o", out, new_keys, mine]
                    file_seconds = run_once(reference)
                    file_cells = f"{file_seconds * 1000:.0f} ms", f"{file_seconds / memory_median:.0f}x"
                limit_kb = 4 * input_bytes / 1024 + 10 * 1024
                print(f"| {games} | {input_bytes / 1e6:.2f} MB | {policy} | {floor_median * 1000:.1f} ms "
                      f"| {memory_median * 1000:.1f} ms | {memory_median / floor_median:.1f}x "
                      f"| {file_cells[0]} | {file_cells[1]} | {peak / 1024:.1f} MB ({limit_kb / 1024:.0f} MB) |",
                      flush=True)
    if len(sizes) >= 2:
        small, large = sizes[-2], sizes[-1]
        ratios = [medians[(large, p)] / medians[(small, p)] for p in POLICIES]
        print(f"\ntime({large} games) / time({small} games), memory engine: "
              + ", ".join(f"{p} {r:.1f}" for p, r in zip(POLICIES, ratios)))


if __name__ == "__main__":
    main()
