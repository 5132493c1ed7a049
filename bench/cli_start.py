#!/usr/bin/env python3
"""Process start of two builds of korvid-cli side by side: each command of four that download
nothing (--version, show-tag, dataset status, a search on the local film data) is run by the
two programs alternately, N times, and the medians of each child's wall time and processor
time (user + system, from wait4) are printed with their ratio.

    python3 bench/cli_start.py BEFORE_CLI AFTER_CLI DATABASE MOVIE N [TITLE]

DATABASE is a film database (korvid-cli dataset update --from FOLDER --db DATABASE; the
sample site's data set will do), MOVIE any file, TITLE a title in the database (default
"harbour lights revisited", a film of the sample data set). Every address the programs know
is a loopback port where nothing listens, and their data and cache folders are temporary.
"""
import os
import statistics
import sys
import tempfile
import time

before, after, database, movie, count = sys.argv[1:6]
title = sys.argv[6] if len(sys.argv) > 6 else "harbour lights revisited"
work = tempfile.mkdtemp()
closed = "http://127.0.0.1:9/"
env = dict(os.environ, KORVID_HOST="127.0.0.1:9", KORVID_SUGGEST_URL=closed,
           KORVID_DATASETS_URL=closed, XDG_DATA_HOME=work, XDG_CACHE_HOME=work)
commands = {
    "--version": ["--version"],
    "show-tag": ["show-tag", movie],
    "dataset status": ["dataset", "status", "--db", database],
    "search on the local film data": ["search", "--db", database, "-d", work, title],
}


def run(program, args):
    """Wall and processor time of one run, in milliseconds."""
    devnull = os.open(os.devnull, os.O_WRONLY)
    start = time.perf_counter()
    pid = os.posix_spawn(program, [program] + args, env,
                         file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1),
                                       (os.POSIX_SPAWN_DUP2, devnull, 2)])
    _, _, usage = os.wait4(pid, 0)
    wall = time.perf_counter() - start
    os.close(devnull)
    return wall * 1000, (usage.ru_utime + usage.ru_stime) * 1000


for name, args in commands.items():
    runs = {before: [], after: []}
    for _ in range(int(count)):
        for program in (before, after):
            runs[program].append(run(program, args))
    b = [statistics.median(column) for column in zip(*runs[before])]
    a = [statistics.median(column) for column in zip(*runs[after])]
    print(f"{name}: before {b[0]:.1f} ms wall, {b[1]:.1f} ms CPU; "
          f"after {a[0]:.1f} ms wall, {a[1]:.1f} ms CPU; CPU after/before {a[1] / b[1]:.2f}")
