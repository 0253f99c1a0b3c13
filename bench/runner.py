"""The benchmark runner behind bench/run.sh.

Runs every workload of bench/programs with one or more kavo builds and with the peers
tclsh, python3 and lua5.4, in rounds: each round runs every interpreter once, in a shuffled
order, so that slow drifts of a shared machine fall on all of them alike. For each
interpreter it reports the median wall time and the largest resident set of its runs, and
the ratio of every other interpreter's median to the first kavo build's.

Every run has a time limit and a memory cap. The cap is watched on the resident set (the
run is killed when it goes above) and backed by a limit on the address space of three
times the cap, so that a run cannot take the machine down even when the watcher falls
behind. A run that fails, hits a limit or prints something else than the others shows "-"
with the reason, and is not started again for that workload.

A kavo program runs as main.kavo in a folder of its own; the peers run their twin
(NAME.tcl, NAME.py, NAME.lua) from bench/programs. kavo ends its lines with CR LF, the
peers with LF; the comparison of outputs ignores that difference.
"""

import argparse
import os
import random
import resource
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
PROGRAMS = os.path.join(HERE, "programs")

# name, executable, twin extension, Debian package
PEERS = [
    ("tclsh", "tclsh", ".tcl", "tcl"),
    ("python3", "python3", ".py", "python3"),
    ("lua5.4", "lua5.4", ".lua", "lua5.4"),
]

POLL_MS = 10  # how often the watcher looks at a running program


class Interpreter:
    def __init__(self, label, argv, ext, kavo, note=""):
        self.label = label      # column heading
        self.argv = argv        # command, the program's path is appended for peers
        self.ext = ext          # ".kavo" or the twin's extension
        self.kavo = kavo
        self.note = note        # shown in the heading lines: path, version


class Result:
    """The runs of one interpreter on one workload."""

    def __init__(self):
        self.seconds = []
        self.rss_mb = []
        self.failure = None     # why the interpreter gave up this workload, or None

    def time(self):
        return statistics.median(self.seconds) if self.seconds and not self.failure else None

    def memory(self):
        return max(self.rss_mb) if self.rss_mb and not self.failure else None


def fail(message):
    print(f"run.sh: {message}", file=sys.stderr)
    sys.exit(2)


def parse_args():
    p = argparse.ArgumentParser(
        prog="bench/run.sh",
        description="Times the workloads of bench/programs with kavo builds and peers, "
                    "interleaved round by round; prints medians, peak memory and ratios.")
    p.add_argument("--kavo", action="append", metavar="[LABEL=]PATH",
                   help="a kavo build to measure (repeatable; the first is the one the ratios "
                        "refer to). Default: build/kavo")
    p.add_argument("--rounds", type=int, default=5, help="rounds per workload (default 5)")
    p.add_argument("--only", metavar="A,B", help="run only these workloads")
    p.add_argument("--peers", default="tclsh,python3,lua5.4",
                   help="peers to run, comma-separated, or 'none' (default all three)")
    p.add_argument("--time-limit", type=float, default=120, metavar="S",
                   help="seconds a single run may take (default 120)")
    p.add_argument("--mem-limit", type=int, default=4096, metavar="MB",
                   help="resident set a single run may reach (default 4096)")
    p.add_argument("--cpu", action="store_true",
                   help="compare processor time (user + system) instead of wall time: "
                        "steadier when other work shares the machine")
    p.add_argument("--markdown", action="store_true", help="also print the table as markdown")
    p.add_argument("--no-install", action="store_true",
                   help="never install a missing peer with apt-get")
    p.add_argument("--seed", type=int, default=1, help="seed of the shuffled orders (default 1)")
    p.add_argument("--list", action="store_true", help="list the workloads and stop")
    args = p.parse_args()
    if args.rounds < 1:
        fail("--rounds needs at least 1")
    if args.mem_limit < 1 or args.time_limit <= 0:
        fail("--mem-limit and --time-limit need to be above 0")
    return args


def workloads(only):
    names = sorted(f[:-5] for f in os.listdir(PROGRAMS) if f.endswith(".kavo"))
    if not only:
        return names
    chosen = [n for n in only.split(",") if n]
    unknown = [n for n in chosen if n not in names]
    if unknown:
        fail(f"no workload {', '.join(unknown)} (there are: {', '.join(names)})")
    return chosen


def kavo_builds(specs):
    builds = []
    for i, spec in enumerate(specs or ["build/kavo"]):
        label, sep, path = spec.partition("=")
        if not sep:
            label, path = ("kavo" if i == 0 else f"kavo{i + 1}"), spec
        path = os.path.abspath(path if os.path.isabs(path) or os.path.exists(path)
                               else os.path.join(ROOT, path))
        if not os.access(path, os.X_OK):
            fail(f"no kavo at {path} (build it first, or pass its path)")
        if any(b.label == label for b in builds):
            fail(f"two kavo builds labelled {label}")
        note = path
        revision = os.path.join(os.path.dirname(path), "revision")
        if os.path.exists(revision):
            with open(revision) as f:
                note += f" (revision {f.read().strip()})"
        builds.append(Interpreter(label, [path], ".kavo", True, note))
    return builds


def output_of(argv):
    try:
        r = subprocess.run(argv, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                           timeout=30)
        return r.stdout.strip()
    except (OSError, subprocess.SubprocessError):
        return ""


def install(package):
    """apt-get install PACKAGE, with an update of the lists when the first try fails."""
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                 stderr=subprocess.DEVNULL, env=env)
    cmd = ["apt-get", "install", "-y", "-qq", package]
    if subprocess.run(cmd, **quiet).returncode == 0:
        return True
    subprocess.run(["apt-get", "update", "-qq"], **quiet)
    return subprocess.run(cmd, **quiet).returncode == 0


def peers(wanted, no_install):
    names = [] if wanted == "none" else [n for n in wanted.split(",") if n]
    known = {p[0]: p for p in PEERS}
    unknown = [n for n in names if n not in known]
    if unknown:
        fail(f"no peer {', '.join(unknown)} (there are: {', '.join(known)})")
    found, notes = [], []
    for name in names:
        _, exe, ext, package = known[name]
        # The Debian package's interpreter first: a version manager's python3 on the PATH may
        # load extra modules at start-up that the distribution's does not.
        path = f"/usr/bin/{exe}"
        if not os.access(path, os.X_OK):
            path = shutil.which(exe)
        if not path and not no_install and os.geteuid() == 0 and shutil.which("apt-get"):
            print(f"installing {package} ...", file=sys.stderr)
            if install(package):
                path = shutil.which(exe)
        if not path:
            notes.append(f"{name} skipped: not found (Debian package {package})")
            continue
        if name == "tclsh":
            version = output_of(["sh", "-c", f"echo 'puts [info patchlevel]' | {path}"])
        elif name == "python3":
            # A version manager's shim is a script that starts the real interpreter; run
            # that one directly so that its start-up is not counted twice.
            real = output_of([path, "-c", "import sys; print(sys.executable)"])
            path = real or path
            version = output_of([path, "-c", "import platform; print(platform.python_version())"])
        else:
            version = " ".join(output_of([path, "-v"]).split()[1:2])
        found.append(Interpreter(name, [path], ext, False, f"{path} {version}".strip()))
    return found, notes


def read_rss_mb(pid):
    try:
        with open(f"/proc/{pid}/statm") as f:
            return int(f.read().split()[1]) * resource.getpagesize() / 2**20
    except (OSError, IndexError, ValueError):
        return 0.0


def kill(pid):
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:  # it has just ended by itself
        pass


def build_spawn(work):
    """Compiles spawn.c, the small starter that times a run and reads its peak memory."""
    cc = shutil.which("cc") or shutil.which("gcc")
    if not cc:
        fail("a C compiler (cc or gcc) is needed to build bench/spawn.c")
    exe = os.path.join(work, "spawn")
    r = subprocess.run([cc, "-O2", "-o", exe, os.path.join(HERE, "spawn.c")],
                       stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if r.returncode != 0:
        fail("bench/spawn.c does not compile:\n" + r.stderr)
    return exe


def run_once(spawn, argv, cwd, out_path, err_path, time_limit, mem_limit, cpu):
    """Runs argv in cwd under the limits. Gives (seconds, peak RSS in MB, failure or None);
    the seconds are wall time, or with cpu the processor time in user and system mode."""
    read_end, write_end = os.pipe()
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        # The address space may reach three times the cap: a backstop for the watcher below.
        starter = subprocess.Popen(
            [spawn, str(write_end), str(3 * mem_limit * 2**20)] + argv, cwd=cwd,
            stdin=subprocess.DEVNULL, stdout=out, stderr=err, pass_fds=(write_end,))
    os.close(write_end)
    started = time.perf_counter()
    poller = select.poll()
    poller.register(read_end, select.POLLIN)
    report, pid, stopped = b"", None, None
    try:
        while True:
            if poller.poll(POLL_MS):
                chunk = os.read(read_end, 4096)
                if not chunk:
                    break
                report += chunk
                if pid is None and b"\n" in report:
                    pid = int(report.split(b"\n")[0])
                continue
            if pid is None or stopped:
                continue
            if read_rss_mb(pid) > mem_limit:
                stopped = f"above the memory cap of {mem_limit} MB"
            elif time.perf_counter() - started > time_limit:
                stopped = f"above the time limit of {time_limit:g} s"
            if stopped:
                kill(pid)
        starter.wait()
    except BaseException:
        if pid is not None:
            kill(pid)
        starter.kill()
        starter.wait()
        raise
    finally:
        os.close(read_end)
    lines = report.split()
    if starter.returncode != 0 or len(lines) != 5:
        with open(err_path, "rb") as f:
            why = f.read().decode(errors="replace").strip()
        fail(f"the starter failed on {' '.join(argv)}: {why}")
    status, seconds, rss_mb = int(lines[1]), int(lines[2]) / 1e9, int(lines[3]) / 1024
    cpu_seconds = int(lines[4]) / 1e9
    if stopped:
        return seconds, rss_mb, f"{stopped} (stopped after {seconds:.1f} s, {rss_mb:.0f} MB)"
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        with open(err_path, "rb") as f:
            first = f.read().decode(errors="replace").strip().splitlines()[:1]
        how = f"signal {-code}" if code < 0 else f"exit code {code}"
        return seconds, rss_mb, f"{how} after {seconds:.1f} s" + (f": {first[0]}" if first else "")
    return (cpu_seconds if cpu else seconds), rss_mb, None


def show_difference(expected, got):
    a, b = expected.splitlines(), got.splitlines()
    for i in range(max(len(a), len(b))):
        x = a[i] if i < len(a) else b"<nothing>"
        y = b[i] if i < len(b) else b"<nothing>"
        if x != y:
            return f"line {i + 1}: expected {x[:80]!r}, got {y[:80]!r}"
    return "the same lines, other bytes"


def measure(name, interpreters, args, work, spawn, rng):
    """All rounds of one workload. Gives {label: Result} and the mismatches found."""
    folder = os.path.join(work, name)
    os.makedirs(folder)
    shutil.copy(os.path.join(PROGRAMS, name + ".kavo"), os.path.join(folder, "main.kavo"))
    present = [i for i in interpreters
               if os.path.exists(os.path.join(PROGRAMS, name + i.ext))]
    results = {i.label: Result() for i in present}
    expected, expected_from, mismatches = None, None, []
    for r in range(args.rounds):
        order = [i for i in present if not results[i.label].failure]
        rng.shuffle(order)
        outputs = {}
        for interp in order:
            if interp.kavo:
                argv, cwd = interp.argv, folder
            else:
                argv, cwd = interp.argv + [os.path.join(PROGRAMS, name + interp.ext)], PROGRAMS
            out_path = os.path.join(work, "out")
            seconds, rss, failure = run_once(spawn, argv, cwd, out_path,
                                             os.path.join(work, "err"),
                                             args.time_limit, args.mem_limit, args.cpu)
            res = results[interp.label]
            res.seconds.append(seconds)
            res.rss_mb.append(rss)
            res.failure = failure
            if not failure:
                with open(out_path, "rb") as f:
                    outputs[interp.label] = f.read().replace(b"\r\n", b"\n")
        # What the first interpreter (a kavo build, if one succeeded) printed is the reference.
        if expected is None:
            for i in present:
                if i.label in outputs:
                    expected, expected_from = outputs[i.label], i.label
                    break
        for label, got in outputs.items():
            if got != expected:
                results[label].failure = (f"prints something else than {expected_from}: "
                                          + show_difference(expected, got))
                mismatches.append(f"{name}, {label}: {results[label].failure}")
        done = [(i.label, results[i.label]) for i in order]
        print(f"  {name} round {r + 1}: " + ", ".join(
            f"{label} " + ("-" if res.failure else f"{res.seconds[-1]:.3f}s")
            for label, res in done), file=sys.stderr)
    return results, mismatches


def fmt_ms(seconds):
    ms = seconds * 1000
    return f"{ms:.0f}" if ms >= 100 else f"{ms:.1f}" if ms >= 10 else f"{ms:.2f}"


def fmt_mb(mb):
    return f"{mb:.1f}" if mb < 10 else f"{mb:.0f}"


def ratio(a, b):
    return f"{a / b:.2f}" if a is not None and b else "-"


def table(names, interpreters, results, markdown):
    """The table: per interpreter median ms and peak MB; then each ratio to the first kavo."""
    first = interpreters[0].label
    others = interpreters[1:]
    head = ["workload"]
    for i in interpreters:
        head += [f"{i.label} ms", f"{i.label} MB"]
    head += [f"{i.label}/{first}" for i in others]
    rows = []
    for name in names:
        row = [name]
        res = results[name]
        for i in interpreters:
            r = res.get(i.label)
            if r is None:
                row += ["", ""]
            elif r.failure:
                row += ["-", "-"]
            else:
                row += [fmt_ms(r.time()), fmt_mb(r.memory())]
        base = res[first].time() if first in res else None
        row += [ratio(res[i.label].time() if i.label in res else None, base) for i in others]
        rows.append(row)
    if markdown:
        lines = ["| " + " | ".join(head) + " |",
                 "|" + "|".join(["---"] + ["---:"] * (len(head) - 1)) + "|"]
        lines += ["| " + " | ".join(r) + " |" for r in rows]
        return "\n".join(lines)
    widths = [max(len(r[c]) for r in [head] + rows) for c in range(len(head))]
    return "\n".join("  ".join(r[c].ljust(widths[c]) if c == 0 else r[c].rjust(widths[c])
                               for c in range(len(r))).rstrip() for r in [head] + rows)


def main():
    args = parse_args()
    names = workloads(args.only)
    if args.list:
        print("\n".join(names))
        return 0
    builds = kavo_builds(args.kavo)
    found, notes = peers(args.peers, args.no_install)
    interpreters = builds + found
    rng = random.Random(args.seed)
    results, mismatches = {}, []
    work = tempfile.mkdtemp(prefix="kavo-bench-")
    try:
        spawn = build_spawn(work)
        for name in names:
            print(f"running {name} ...", file=sys.stderr)
            results[name], found_mismatches = measure(name, interpreters, args, work, spawn, rng)
            mismatches += found_mismatches
    finally:
        shutil.rmtree(work, ignore_errors=True)

    print()
    for i in interpreters:
        print(f"{i.label}: {i.note}")
    for n in notes:
        print(n)
    measure_name = "processor time (user + system)" if args.cpu else "wall time"
    print(f"{args.rounds} round(s) per workload, the interpreters in a shuffled order each "
          f"round.\nMedian {measure_name} in ms, largest resident set in MB; "
          f"a ratio above 1 means {builds[0].label} took less time.\n"
          f"Limits per run: {args.time_limit:g} s, {args.mem_limit} MB.")
    print()
    print(table(names, interpreters, results, False))
    failures = [f"{name}, {label}: {r.failure}" for name in names
                for label, r in results[name].items() if r.failure]
    if failures:
        print()
        print("\n".join("- " + f for f in failures))
    if args.markdown:
        print()
        print(table(names, interpreters, results, True))
    if mismatches:
        print(file=sys.stderr)
        print("run.sh: THE INTERPRETERS DISAGREE:", file=sys.stderr)
        for m in mismatches:
            print("  " + m, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
