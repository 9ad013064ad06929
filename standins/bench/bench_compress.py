"""The stand-ins' writers against the Linux archivers, on one generated corpus.

Each stand-in DLL gets the command text Zibrak sends, through a small Windows driver
under Wine that times the call alone; each Linux peer packs the same folder. Stand-in and
peer alternate, for several rounds, and the medians go into one table with the goals
beside them. Every stand-in archive is first read back by its Linux tool and compared
with the corpus; a row whose archive is wrong says so and judges nothing.
The exit code says only whether the benchmark could run, never whether a goal was met.

    bench_compress.py --root REPO --driver standin_timed.exe --standins DIR --work DIR
                      [--rounds N] [--mb N] [--timeout SECONDS]
"""
import argparse
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import threading
import time

import corpus

# ---------------------------------------------------------------------------------------
# What is measured. A stand-in job is one command text to one DLL; "{archive}" and
# "{base}" are filled with Windows paths, and the file list is one dropped folder, as
# Zibrak sends it for a drop of that folder.

STANDIN_JOBS = {
    "lh5": ("Unlha32.dll", "Unlha", 'a -x1 -r2 -a1 -jm2 "{archive}" "{base}" "corpus\\*.*" ',
            "lh5.lzh"),
    "lh7": ("Unlha32.dll", "Unlha", 'a -x1 -r2 -a1 -jm4 "{archive}" "{base}" "corpus\\*.*" ',
            "lh7.lzh"),
    "zip": ("Zip32j.dll", "Zip", '-r -S "{archive}" "{base}" "corpus\\*.*" ', "zip6.zip"),
    "mszip": ("Cab32.dll", "Cab", '-a -r -mz "{archive}" "{base}" "corpus\\*.*" ',
              "mszip.cab"),
    "lzx": ("Cab32.dll", "Cab", '-a -r -ml21 "{archive}" "{base}" "corpus\\*.*" ', "lzx.cab"),
    "tgz": ("Tar32.dll", "Tar", 'cvfz "{archive}" "{base}" "corpus\\*.*" ', "tgz.tar.gz"),
    "bz2": ("Tar32.dll", "Tar", 'cvfzB "{archive}" "{base}" "corpus\\*.*" ', "tbz.bz2"),
    # The text part alone, for LZX's goal on text: base is the corpus folder itself.
    "mszip-text": ("Cab32.dll", "Cab", '-a -r -mz "{archive}" "{base}corpus\\" "text\\*.*" ',
                   "mszip-text.cab"),
    "lzx-text": ("Cab32.dll", "Cab", '-a -r -ml21 "{archive}" "{base}corpus\\" "text\\*.*" ',
                 "lzx-text.cab"),
    # Extraction of the two cabinets, into an emptied folder each time.
    "mszip-x": ("Cab32.dll", "Cab", '-x "{source}" "{dest}"', "mszip.cab"),
    "lzx-x": ("Cab32.dll", "Cab", '-x "{source}" "{dest}"', "lzx.cab"),
}

# The Linux peers, run in the work folder on the folder "corpus".
PEER_JOBS = {
    "jlha5": (["jlha", "ao5q", "{archive}", "corpus"], "jlha5.lzh"),
    "jlha7": (["jlha", "ao7q", "{archive}", "corpus"], "jlha7.lzh"),
    "zip6": (["zip", "-6", "-r", "-q", "{archive}", "corpus"], "peer.zip"),
    "gcab": (["gcab", "-c", "-z", "{archive}", "corpus"], "peer.cab"),
    "tarz": (["tar", "czf", "{archive}", "corpus"], "peer.tar.gz"),
    "tarj": (["tar", "cjf", "{archive}", "corpus"], "peer.tar.bz2"),
}

# How each stand-in archive is checked: its kind and the method its entries must show.
CHECKS = {
    "lh5": ("lzh", "-lh5-"), "lh7": ("lzh", "-lh7-"), "zip": ("zip", "deflate"),
    "mszip": ("cab", "MSZip"), "lzx": ("cab", "LZX:21"), "tgz": ("tgz", None),
    "bz2": ("tbz", None), "mszip-text": ("cab", "MSZip"), "lzx-text": ("cab", "LZX:21"),
}

# One round: pairs of (stand-in job, peer job) whose order flips from round to round, so
# that neither side always runs on a cache the other warmed. None: no peer to time.
ROUND = (("lh5", "jlha5"), ("lh7", "jlha7"), ("zip", "zip6"), ("mszip", "gcab"),
         ("lzx", None), ("tgz", "tarz"), ("bz2", "tarj"), ("mszip-x", "lzx-x"))
ONCE = ("mszip-text", "lzx-text")  # sizes only

# The table: label, stand-in job, (size peer label, size job), (time peer label, time job).
ROWS = (
    ("LZH -lh5-", "lh5", ("jlha -lh5-", "jlha5"), ("jlha -lh5-", "jlha5")),
    ("LZH -lh7-", "lh7", ("own -lh5-", "lh5"), ("jlha -lh7-", "jlha7")),
    ("ZIP deflate", "zip", ("zip -6 -r", "zip6"), ("zip -6 -r", "zip6")),
    ("CAB MSZIP", "mszip", ("gcab -z", "gcab"), ("gcab -z", "gcab")),
    ("CAB LZX:21", "lzx", ("own MSZIP", "mszip"), ("gcab -z", "gcab")),
    ("CAB LZX:21 text/", "lzx-text", ("own MSZIP text/", "mszip-text"), None),
    ("TAR.GZ", "tgz", ("tar czf", "tarz"), ("tar czf", "tarz")),
    ("TAR.BZ2", "bz2", ("tar cjf (bzip2 -9)", "tarj"), ("tar cjf (bzip2 -9)", "tarj")),
    ("CAB LZX:21 extract", "lzx-x", None, ("own MSZIP extract", "mszip-x")),
)

# The goals: text, the kind of comparison, the jobs, and the limit.
#   size: size(a) <= limit * size(b); time: time(a) <= limit * time(b);
#   smaller: size(a) < size(b); speed: corpus MB / time(a) >= limit.
GOALS = (
    ("-lh5- no larger than jlha -lh5-", "size", "lh5", "jlha5", 1.0),
    ("-lh7- no larger than the own -lh5-", "size", "lh7", "lh5", 1.0),
    ("MSZIP no larger than 1.02 x gcab -z", "size", "mszip", "gcab", 1.02),
    ("ZIP no larger than 1.02 x zip -6", "size", "zip", "zip6", 1.02),
    ("-lh5- time within 1.5 x jlha", "time", "lh5", "jlha5", 1.5),
    ("-lh7- time within 1.5 x jlha", "time", "lh7", "jlha7", 1.5),
    ("ZIP time within 1.5 x zip", "time", "zip", "zip6", 1.5),
    ("MSZIP time within 1.5 x gcab", "time", "mszip", "gcab", 1.5),
    ("LZX time within 1.5 x gcab", "time", "lzx", "gcab", 1.5),
    ("TAR.GZ time within 1.5 x tar czf", "time", "tgz", "tarz", 1.5),
    ("TAR.BZ2 time within 1.5 x bzip2", "time", "bz2", "tarj", 1.5),
    ("LZX smaller than the own MSZIP", "smaller", "lzx", "mszip", None),
    ("LZX at least 5 % smaller than MSZIP on text/", "size", "lzx-text", "mszip-text", 0.95),
    ("LZX encodes at 5 MB/s or more under Wine", "speed", "lzx", None, 5.0),
    ("LZX extracts within 1.5 x MSZIP's time", "time", "lzx-x", "mszip-x", 1.5),
)


class Outcome:
    """What the runs of one job gave: times of each round, the archive's size, and why
    its figures do not count when they do not."""

    def __init__(self):
        self.times = []       # seconds of work, one per round
        self.cpu = []         # CPU seconds, one per round
        self.overhead = []    # process wall time minus work (Wine's start), stand-ins only
        self.size = None
        self.sizes = set()
        self.problem = None   # None, or why the figures do not count

    def add(self, seconds, cpu, size=None):
        self.times.append(seconds)
        self.cpu.append(cpu)
        if size is not None:
            self.size = size
            self.sizes.add(size)

    def fail(self, problem):
        if self.problem is None:
            self.problem = problem

    @property
    def valid(self):
        return self.problem is None and bool(self.times)

    def median_time(self):
        return statistics.median(self.times) if self.times else None

    def median_cpu(self):
        return statistics.median(self.cpu) if self.cpu else None


# ---------------------------------------------------------------------------------------
# Judging and printing (pure: the tests drive these with made-up outcomes).

def ratio(a, b):
    if a is None or b is None or b == 0:
        return None
    return a / b


def judge(goal, outcomes, corpus_bytes):
    """'met', 'missed', or 'n/a (reason)' for one goal."""
    _, kind, a_job, b_job, limit = goal
    jobs = [j for j in (a_job, b_job) if j]
    for job in jobs:
        outcome = outcomes.get(job)
        if outcome is not None and outcome.problem:
            return f"n/a ({job} wrong)"  # the report says why, once
        if outcome is None or not outcome.times and outcome.size is None:
            return f"n/a ({job} not run)"
    a, b = outcomes[a_job], outcomes.get(b_job)
    if kind == "speed":
        seconds = a.median_time()
        if not seconds:
            return f"n/a ({a_job} not timed)"
        value = corpus_bytes / 1e6 / seconds
        cpu = a.median_cpu()
        # Beside the wall-clock figure, the one a shared machine moves least.
        per_cpu = f"; {corpus_bytes / 1e6 / cpu:.1f} per CPU second" if cpu else ""
        return ("met" if value >= limit else "missed") + f" ({value:.1f} MB/s{per_cpu})"
    extra = ""
    if kind == "time":
        value = ratio(a.median_time(), b.median_time())
        cpu = ratio(a.median_cpu(), b.median_cpu())
        extra = f"; cpu {cpu:.3f}" if cpu is not None else ""
    else:
        value = ratio(a.size, b.size)
    if value is None:
        return "n/a (no figure)"
    good = value < 1.0 if kind == "smaller" else value <= limit
    return ("met" if good else "missed") + f" ({value:.3f}{extra})"


def _fmt_size(size):
    return "-" if size is None else f"{size:,}"


def _fmt_time(seconds):
    return "-" if seconds is None else f"{seconds:.2f}"


def _fmt_ratio(value):
    return "-" if value is None else f"{value:.3f}"


def row_jobs(row):
    """The jobs whose figures a row shows."""
    _, job, size_peer, time_peer = row
    jobs = [job] + [peer[1] for peer in (size_peer, time_peer) if peer]
    return list(dict.fromkeys(jobs))


def table_rows(outcomes):
    """The table's cells, one list per row, for format_table. The last cell says whether
    the row's archives are sound; why one is not is told by problems()."""
    rows = []
    for row in ROWS:
        label, job, size_peer, time_peer = row
        mine = outcomes.get(job) or Outcome()
        cells = [label, _fmt_size(mine.size)]
        if size_peer:
            peer = outcomes.get(size_peer[1]) or Outcome()
            cells += [size_peer[0], _fmt_size(peer.size), _fmt_ratio(ratio(mine.size, peer.size))]
        else:
            cells += ["-", "-", "-"]
        cells.append(_fmt_time(mine.median_time()))
        if time_peer:
            peer = outcomes.get(time_peer[1]) or Outcome()
            cells += [time_peer[0], _fmt_time(peer.median_time()),
                      _fmt_ratio(ratio(mine.median_time(), peer.median_time())),
                      _fmt_ratio(ratio(mine.median_cpu(), peer.median_cpu()))]
        else:
            cells += ["-", "-", "-", "-"]
        wrong = [j for j in row_jobs(row) if j in outcomes and outcomes[j].problem]
        missing = [j for j in row_jobs(row) if j not in outcomes]
        cells.append("WRONG: " + ", ".join(wrong) if wrong else
                     "not run: " + ", ".join(missing) if missing else "checked")
        rows.append(cells)
    return rows


def problems(outcomes):
    """One line per job whose figures do not count, saying why."""
    return [f"{job}: {outcomes[job].problem}" for job in sorted(outcomes) if outcomes[job].problem]


def propagate(outcomes):
    """An extraction timed on a cabinet that is wrong measures nothing worth comparing."""
    for extract, source in (("lzx-x", "lzx"), ("mszip-x", "mszip")):
        if extract in outcomes and source in outcomes and outcomes[source].problem:
            outcomes[extract].fail(f"its cabinet is wrong ({source})")


HEADER = ["format / method", "stand-in size", "size peer", "peer size", "size ratio",
          "stand-in s", "time peer", "peer s", "time ratio", "cpu ratio", "archives"]


def format_table(rows):
    widths = [max(len(HEADER[i]), *(len(r[i]) for r in rows)) for i in range(len(HEADER))]
    numeric = {1, 3, 4, 5, 7, 8, 9}

    def line(cells):
        out = []
        for i, cell in enumerate(cells):
            out.append(cell.rjust(widths[i]) if i in numeric else cell.ljust(widths[i]))
        return " | ".join(out).rstrip()

    rule = "-+-".join("-" * w for w in widths)
    return "\n".join([line(HEADER), rule] + [line(r) for r in rows])


# ---------------------------------------------------------------------------------------
# Running.

def windows_path(path):
    """Wine shows the Linux tree as drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_process(argv, cwd=None, env=None, timeout=None, stdout_path=os.devnull):
    """Runs argv to its end; (exit code, wall seconds, CPU seconds of it and its waited
    children). Past timeout its process group is killed and the code is None."""
    with open(stdout_path, "wb") as out:
        start = time.perf_counter()
        process = subprocess.Popen(argv, cwd=cwd, env=env, stdout=out,
                                   stderr=subprocess.STDOUT, start_new_session=True)
        killed = []

        def kill():
            killed.append(True)
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

        timer = threading.Timer(timeout, kill) if timeout else None
        if timer:
            timer.start()
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
        if timer:
            timer.cancel()
        process.returncode = os.waitstatus_to_exitcode(status)
    code = None if killed else process.returncode
    return code, wall, usage.ru_utime + usage.ru_stime


def remove(path):
    if os.path.isdir(path):
        shutil.rmtree(path)
    elif os.path.lexists(path):
        os.remove(path)


class Bench:
    def __init__(self, args):
        self.args = args
        self.work = os.path.abspath(args.work)
        self.out = os.path.join(self.work, "out")
        self.scratch = os.path.join(self.work, "scratch")
        self.corpus_dir = os.path.join(self.work, "corpus")
        self.wine_run = os.path.join(args.root, "tools", "wine-run.sh")
        self.outcomes = {}
        self.files = {}
        self.rounds_done = 0

    # -- corpus ----------------------------------------------------------------------
    def prepare_corpus(self):
        stamp_path = os.path.join(self.work, "corpus.stamp")
        wanted = f"{corpus.CORPUS_VERSION} {self.args.mb} {self.args.seed}"
        if os.path.isdir(self.corpus_dir) and os.path.exists(stamp_path):
            with open(stamp_path) as f:
                stamp = f.read().split()
            files = corpus.manifest(self.corpus_dir)
            if " ".join(stamp[:3]) == wanted and stamp[3:] == [corpus.digest(files)]:
                self.files = files
                return "reused"
        remove(self.corpus_dir)
        remove(stamp_path)
        self.files = corpus.generate(self.corpus_dir, self.args.mb * 1_000_000, self.args.seed)
        with open(stamp_path, "w") as f:
            f.write(f"{wanted} {corpus.digest(self.files)}\n")
        return "generated"

    def corpus_bytes(self, part=None):
        if part:
            return corpus.part_bytes(self.files, part)
        return sum(size for size, _ in self.files.values())

    # -- one run of a job -------------------------------------------------------------
    def run_standin(self, job):
        dll, export, template, name = STANDIN_JOBS[job]
        outcome = self.outcomes.setdefault(job, Outcome())
        if outcome.problem:
            return  # its figures no longer count; the time goes to the others
        extracting = job.endswith("-x")
        if extracting:
            source = os.path.join(self.out, name)
            dest = os.path.join(self.scratch, job)
            remove(dest)
            os.makedirs(dest)
            text = template.format(source=windows_path(source), dest=windows_path(dest) + "\\")
            archive = None
        else:
            archive = os.path.join(self.out, name)
            remove(archive)  # "a" of LHA adds to an archive already there
            text = template.format(archive=windows_path(archive),
                                   base=windows_path(self.work) + "\\")
        command_file = os.path.join(self.work, f"command-{job}.txt")
        with open(command_file, "wb") as f:
            f.write(text.encode("cp932"))
        log = os.path.join(self.work, f"log-{job}.txt")
        # Inside a Wine desktop of its own: on a bare X server with no window manager, Wine
        # waits 2 s for an answer when the progress window first shows, which no Windows
        # does; the desktop answers at once.
        code, wall, _ = run_process(
            [self.wine_run, "explorer", "/desktop=zibrak-bench,1024x768", self.args.driver,
             windows_path(os.path.join(self.args.standins, dll)), export,
             windows_path(command_file)], timeout=self.args.timeout, stdout_path=log)
        with open(log, "rb") as f:
            printed = f.read().decode("cp932", "replace")  # the DLLs speak Shift-JIS
        seconds, cpu, problem = parse_driver(dll, code, printed, self.args.timeout)
        if problem:
            outcome.fail(problem)
            return
        if archive is not None and not os.path.exists(archive):
            outcome.fail("no archive written")
            return
        outcome.overhead.append(max(0.0, wall - seconds))
        outcome.add(seconds, cpu, os.path.getsize(archive) if archive else None)
        if len(outcome.times) == 1:  # checked once, on its first archive
            problem = self.check_extraction(dest) if extracting else self.check(job, archive)
            if problem:
                outcome.fail(problem)

    def run_peer(self, job):
        argv, name = PEER_JOBS[job]
        outcome = self.outcomes.setdefault(job, Outcome())
        if outcome.problem:
            return
        if shutil.which(argv[0]) is None:
            outcome.fail(f"{argv[0]} not installed")
            return
        archive = os.path.join(self.out, name)
        remove(archive)  # zip and jlha would update an archive already there
        argv = [a.format(archive=archive) for a in argv]
        code, wall, cpu = run_process(argv, cwd=self.work, timeout=self.args.timeout,
                                      stdout_path=os.path.join(self.work, f"log-{job}.txt"))
        if code != 0 or not os.path.exists(archive):
            outcome.fail(f"{' '.join(argv[:2])} failed (exit {code})")
            return
        outcome.add(wall, cpu, os.path.getsize(archive))

    # -- checks -----------------------------------------------------------------------
    def tool(self, argv, log_name="check"):
        """Runs a Linux tool for a check; (ok, its output)."""
        log = os.path.join(self.work, f"{log_name}.log")
        code, _, _ = run_process(argv, cwd=self.work, timeout=self.args.timeout, stdout_path=log)
        with open(log, "rb") as f:
            return code == 0, f.read().decode("utf-8", "replace")

    def expected(self, job):
        """The manifest an archive of job must hold, with its paths as stored."""
        if job.endswith("-text"):
            return {rel: v for rel, v in self.files.items() if rel.startswith("text/")}
        return {"corpus/" + rel: v for rel, v in self.files.items()}

    def check(self, job, archive):
        """None when the Linux tools read archive and it holds the corpus; else why not."""
        kind, method = CHECKS[job]
        into = os.path.join(self.scratch, "check")
        remove(into)
        os.makedirs(into)
        problem = check_archive(kind, method, archive, into, self.tool)
        if problem is None:
            problem = compare(self.expected(job), corpus.manifest(into))
        remove(into)
        return problem

    def check_extraction(self, dest):
        problem = compare(self.expected("x"), corpus.manifest(dest))
        return f"extracted tree: {problem}" if problem else None

    # -- the whole run ---------------------------------------------------------------
    def run(self, after_round=None):
        """The rounds; after_round() is called after each, so that a run cut short still
        leaves the figures of the rounds it finished."""
        for folder in (self.out, self.scratch):
            os.makedirs(folder, exist_ok=True)
        for r in range(self.args.rounds):
            print(f"round {r + 1} of {self.args.rounds} ...", file=sys.stderr, flush=True)
            for standin, peer in ROUND:
                pair = [(self.run_standin, standin)] + ([(self._peer_or_standin(peer), peer)]
                                                        if peer else [])
                for run, job in (pair if r % 2 == 0 else list(reversed(pair))):
                    run(job)
            if r == 0:
                for job in ONCE:
                    self.run_standin(job)
            self.rounds_done = r + 1
            if after_round:
                after_round()
        remove(self.scratch)

    def _peer_or_standin(self, job):
        return self.run_peer if job in PEER_JOBS else self.run_standin


def parse_driver(dll, code, printed, timeout):
    """(seconds, CPU seconds, None) from what standin_timed printed, or (None, None, why
    the run does not count). A message box is a failure even when the DLL returned 0."""
    if code is None:
        return None, None, f"no answer in {timeout} s"
    found = re.search(r"^result (-?\d+) seconds ([\d.]+) cpu (-?[\d.]+)", printed, re.M)
    said = re.findall(r"^message (.*?)\s*$", printed, re.M)
    if not found or int(found.group(1)) != 0 or said:
        problem = f"{dll} returned {found.group(1) if found else f'nothing (exit {code})'}"
        if said:
            problem += f', saying "{said[0]}"'
        return None, None, problem
    # Wine counts CPU time in 10 ms steps; a difference of two may come out as -0.
    return float(found.group(2)), max(0.0, float(found.group(3))), None


def check_archive(kind, method, archive, into, tool):
    """Tests archive with its Linux tool, checks the method its entries show, and extracts
    it into the folder into. None when all is well, else what went wrong."""
    if kind == "lzh":
        ok, text = tool(["lhasa", "t", archive])
        if not ok:
            return "lha t rejects it"
        ok, text = tool(["lhasa", "v", archive])
        methods = set(re.findall(r"-lh[0-9a-z]-", text))
        if method not in methods or methods - {method, "-lh0-", "-lhd-"}:
            return f"lha v shows {sorted(methods)}, not {method}"
        ok, _ = tool(["sh", "-c", f'cd "{into}" && lhasa xq "{archive}"'])
        return None if ok else "lhasa cannot extract it"
    if kind == "zip":
        ok, _ = tool(["unzip", "-tq", archive])
        if not ok:
            return "unzip -t rejects it"
        ok, text = tool(["zipinfo", "-v", archive])
        methods = set(re.findall(r"compression method:\s+(\S+)", text))
        if not ok or "deflated" not in methods or methods - {"deflated", "none"}:
            return f"zipinfo shows {sorted(methods)}, not deflate"
        ok, _ = tool(["unzip", "-qo", archive, "-d", into])
        return None if ok else "unzip cannot extract it"
    if kind == "cab":
        ok, _ = tool(["cabextract", "-q", "-t", archive])
        if not ok:
            return "cabextract -t rejects it"
        ok, text = tool(["7zz", "l", "-slt", archive])
        methods = set(re.findall(r"^Method = (\S+)", text, re.M))
        if not ok or methods != {method}:
            return f"7zz shows {sorted(methods)}, not {method}"
        ok, _ = tool(["cabextract", "-q", "-d", into, archive])
        return None if ok else "cabextract cannot extract it"
    if kind in ("tgz", "tbz"):
        filter_tool = "gzip" if kind == "tgz" else "bzip2"
        ok, _ = tool([filter_tool, "-t", archive])
        if not ok:
            return f"{filter_tool} -t rejects it"
        ok, _ = tool(["tar", "xzf" if kind == "tgz" else "xjf", archive, "-C", into])
        return None if ok else "tar cannot extract it"
    return f"no check for {kind}"


def compare(expected, found):
    """None when found holds exactly the files of expected; else a short account."""
    missing = sorted(set(expected) - set(found))
    extra = sorted(set(found) - set(expected))
    differ = sorted(rel for rel in set(expected) & set(found) if expected[rel] != found[rel])
    if not (missing or extra or differ):
        return None
    parts = []
    for what, names in (("missing", missing), ("extra", extra), ("differing", differ)):
        if names:
            parts.append(f"{len(names)} {what} (e.g. {names[0]})")
    return "content wrong: " + ", ".join(parts)


def load_average():
    try:
        with open("/proc/loadavg") as f:
            return " ".join(f.read().split()[:3])
    except OSError:
        return "?"


def report(bench, args, corpus_state, began, load_before):
    outcomes = bench.outcomes
    total = bench.corpus_bytes()
    lines = []
    lines.append(f"Compression benchmark, {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime(began))}"
                 f" ({time.time() - began:.0f} s)")
    lines.append(f"corpus: {total:,} bytes in {len(bench.files)} files ({corpus_state}, seed "
                 f"{args.seed}, digest {corpus.digest(bench.files)}); text/ "
                 f"{bench.corpus_bytes('text'):,} bytes")
    lines.append(f"{bench.rounds_done} of {args.rounds} rounds, stand-in and peer alternating; "
                 "times are medians in "
                 "seconds: the stand-in's DLL call under Wine, the peer's whole process")
    lines.append(f"CPU shared: {os.cpu_count()} cores with up to seven other developers; load "
                 f"average {load_before} before, {load_average()} after. The cpu ratio (user + "
                 "system time) is the figure least moved by them.")
    lines.append("")
    propagate(outcomes)
    lines.append(format_table(table_rows(outcomes)))
    lines.append("")
    for line in problems(outcomes):
        lines.append("WRONG " + line)
    lzx = outcomes.get("lzx")
    if lzx and lzx.valid:
        cpu = lzx.median_cpu()
        lines.append(f"LZX encoding speed under Wine: {total / 1e6 / lzx.median_time():.1f} MB/s "
                     f"(MB = 10^6 bytes; {lzx.median_time():.2f} s for the corpus"
                     + (f", {total / 1e6 / cpu:.1f} MB per CPU second)" if cpu else ")"))
    cpu_lines = [f"{job} {out.median_cpu():.2f}" for job, out in outcomes.items() if out.cpu]
    if cpu_lines:
        lines.append("CPU seconds, medians: " + ", ".join(cpu_lines))
    overhead = [o for out in outcomes.values() for o in out.overhead]
    if overhead:
        lines.append(f"Wine's start and the DLL's load, outside the stand-in times: median "
                     f"{statistics.median(overhead):.2f} s per call")
    unsteady = [job for job, out in outcomes.items() if len(out.sizes) > 1]
    if unsteady:
        lines.append("sizes changed between rounds: " + ", ".join(unsteady))
    lines.append("")
    lines.append("Goals (printed, not enforced):")
    for goal in GOALS:
        lines.append(f"  {goal[0]:<46} {judge(goal, outcomes, total)}")
    return "\n".join(lines)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="the repository")
    parser.add_argument("--driver", required=True, help="standin_timed.exe")
    parser.add_argument("--standins", required=True, help="the stand-in DLLs' folder")
    parser.add_argument("--work", required=True, help="corpus, archives and result")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--mb", type=int, default=50, help="corpus size in 10^6 bytes")
    parser.add_argument("--seed", type=int, default=11)
    parser.add_argument("--timeout", type=int, default=1800, help="seconds per run")
    args = parser.parse_args(argv)
    args.driver = windows_path(args.driver)
    args.standins = os.path.abspath(args.standins)
    os.makedirs(args.work, exist_ok=True)
    began = time.time()
    load_before = load_average()
    bench = Bench(args)
    print("corpus ...", file=sys.stderr, flush=True)
    state = bench.prepare_corpus()

    def keep():
        with open(os.path.join(bench.work, "result.txt"), "w") as f:
            f.write(report(bench, args, state, began, load_before) + "\n")

    bench.run(after_round=keep)
    print(report(bench, args, state, began, load_before))
    return 0


if __name__ == "__main__":
    sys.exit(main())
