#!/usr/bin/env python3
"""mutants.py: how many realistic faults the test suite catches.

Each mutant in tools/mutants.txt is a one-line fault in the product code: a
snippet of a file and what to put in its place. For each one this applies it,
rebuilds, runs the suite until its first failure, and puts the file back. A
mutant is killed (some test failed), survived (every test passed), did not
compile, or stale (its snippet is no longer in the file exactly once, so the
list needs updating).

    /usr/bin/python3 tools/mutants.py [--only REGEX] [--list] [--build DIR]

The score is killed / (killed + survived). Results go to standard output, one
line per mutant as it finishes, with the first test that failed, and to
DIR/mutants.tsv. The suite is the normal build's ctest, in four rounds so
that most mutants die within seconds: the quick tests labelled with the
mutated file's folder (and the X tests, for the window and platform code),
then that folder's slow tests (over 10 s in the unmutated run), then the other
quick tests, then the other slow ones. Tests of other builds (the Windows release under Wine) are run by
the command given with a mutant's "suite" line in the list.
Depends on cmake, ctest and the test dependencies of ./run-tests.
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class Mutant:
    def __init__(self, number, path, old, new, suite):
        self.number, self.path, self.old, self.new, self.suite = number, path, old, new, suite

    def name(self):
        return f"{self.path}: {self.old.strip()} => {self.new.strip()}"


def read_list(path):
    """The list: `FILE: OLD => NEW` lines, `suite: COMMAND` lines setting the
    test command for the mutants after them, comments with #."""
    mutants, suite = [], None
    with open(path, encoding="utf-8") as f:
        for lineno, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            if line.startswith("suite:"):
                suite = line[len("suite:"):].strip() or None
                continue
            m = re.match(r"^(\S+?): (.*?) => (.*)$", line)
            if not m:
                sys.exit(f"{path}:{lineno}: not FILE: OLD => NEW")
            new = "" if m.group(3) == "(nothing)" else m.group(3)
            mutants.append(Mutant(len(mutants) + 1, m.group(1), m.group(2), new, suite))
    return mutants


def run(command, timeout, log):
    """Runs a shell command in the project root; True when it exits 0. A
    command still running after timeout seconds is ended and counts as failed."""
    with open(log, "ab") as out:
        start = out.tell()
        proc = subprocess.Popen(command, shell=True, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT,
                                start_new_session=True)
        run.proc = proc
        try:
            ok = proc.wait(timeout=timeout) == 0
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            ok = False
    if not ok:
        with open(log, "rb") as f:
            f.seek(start)
            failed = re.findall(rb"Test +#\d+: (\S+) \.*\**(?:Failed|Timeout|Exception|Not Run)", f.read())
        run.first_failure = failed[0].decode() if failed else "-"
    return ok


# Tests of these folders run first for a mutant in the key's folder.
FIRST_LABELS = {"platform": "platform|x11", "framework": "framework|x11", "app": "app|x11"}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--list-file", default=os.path.join(ROOT, "tools", "mutants.txt"))
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mutants"))
    parser.add_argument("--only", help="only the mutants whose file and snippet match this regex")
    parser.add_argument("--list", action="store_true", help="list the mutants and whether they apply")
    parser.add_argument("--numbers", metavar="LIST",
                        help="only these mutants, as numbers and ranges: 1-120 or 19,22,230-235 "
                             "(to share a run between work trees, or to run an earlier run's survivors again)")
    parser.add_argument("--timeout", type=int, default=900, help="seconds for one mutant's tests")
    parser.add_argument("--survivors-of", metavar="TSV",
                        help="count the mutants that survived in this earlier mutants.tsv as survived without "
                             "running them (for a suite that only lost tests since; the file may still grow)")
    args = parser.parse_args()

    mutants = read_list(args.list_file)
    if args.only:
        mutants = [m for m in mutants if re.search(args.only, m.name())]
    if args.numbers:
        wanted = set()
        for part in args.numbers.split(","):
            first, _, last = part.partition("-")
            wanted.update(range(int(first), int(last or first) + 1))
        mutants = [m for m in mutants if m.number in wanted]

    def applies(m):
        with open(os.path.join(ROOT, m.path), encoding="utf-8") as f:
            return f.read().count(m.old) == 1

    if args.list:
        for m in mutants:
            print(f"{m.number:4} {'ok   ' if applies(m) else 'stale'} {m.name()}")
        return 0

    dirty = subprocess.run(["git", "status", "--porcelain", "--untracked-files=no"], cwd=ROOT,
                           capture_output=True, text=True).stdout
    if dirty.strip():
        sys.exit("mutants.py changes product files in place: commit or stash your changes first")

    build = os.path.abspath(args.build)
    jobs = str(os.cpu_count() or 2)
    launcher = " -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache" \
        if shutil.which("ccache") else ""
    # Every mutant relinks a dozen programs: lld does it in a fraction of the time.
    if shutil.which("ld.lld"):
        launcher += " -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld"
    ctest = f"cd '{build}' && ctest -j{jobs} --stop-on-failure --timeout 300"
    default_suite = ctest

    def slow_tests():
        """The tests that took over 10 s in the unmutated run, as a ctest regex."""
        names = []
        try:
            with open(os.path.join(build, "Testing", "Temporary", "CTestCostData.txt")) as f:
                for line in f:
                    fields = line.split()
                    if len(fields) != 3:
                        break
                    if float(fields[2]) > 10.0:
                        names.append(fields[0].replace(".", "[.]"))
        except OSError:
            pass
        return f"^({'|'.join(names)})$" if names else None

    killers = {}  # file -> the test that killed its previous mutant

    def suite_for(m):
        if m.suite:
            return m.suite
        folder = m.path.split("/")[0]
        labels = f"^({FIRST_LABELS.get(folder, folder)})$"
        # A fault next to the last one in the same file usually fails the same test.
        first = f"{ctest} -R '^{killers[m.path]}$' && " if m.path in killers else ""
        if not slow:
            return f"{first}{ctest} -L '{labels}' && {ctest} -LE '{labels}'"
        return (f"{first}{ctest} -L '{labels}' -E '{slow}' && {ctest} -L '{labels}' -R '{slow}' && "
                f"{ctest} -LE '{labels}' -E '{slow}' && {ctest} -LE '{labels}' -R '{slow}'")
    log = os.path.join(build, "mutants.log")
    os.makedirs(build, exist_ok=True)
    settings = (" -DOARGALA_TESTS=ON -DOARGALA_BENCH=OFF -DOARGALA_FUZZ=OFF -DOARGALA_SANITIZE=OFF"
                " -DOARGALA_THREAD_SANITIZE=OFF")
    build_cmd = f"cmake -S . -B '{build}'{settings}{launcher} >/dev/null && cmake --build '{build}' -j{jobs}"

    print("unmutated: building and running the suite once", flush=True)
    # A round may select no tests of a folder; the whole suite must find some.
    if not run(build_cmd, 3600, log) or not run(f"{default_suite} --no-tests=error", args.timeout, log):
        sys.exit(f"the unmutated suite does not pass; see {log}")
    slow = slow_tests()

    counts = {"killed": 0, "survived": 0, "no-compile": 0, "stale": 0}
    results = []
    current = {}

    def restore():
        if current:
            with open(current["path"], "w", encoding="utf-8") as f:
                f.write(current["text"])
            current.clear()

    def on_signal(signum, _frame):
        if getattr(run, "proc", None) and run.proc.poll() is None:
            os.killpg(run.proc.pid, signal.SIGKILL)
        restore()
        sys.exit(128 + signum)

    signal.signal(signal.SIGINT, on_signal)
    signal.signal(signal.SIGTERM, on_signal)

    def earlier_survivors():
        # Read again for every mutant: the earlier run may still be going on.
        if not args.survivors_of or not os.path.exists(args.survivors_of):
            return set()
        with open(args.survivors_of, encoding="utf-8") as f:
            return {row.split("\t")[-1].rstrip("\n") for row in f if "\tsurvived\t" in row}

    for m in mutants:
        if m.name() in earlier_survivors():
            counts["survived"] += 1
            results.append((m.number, "survived", 0, "-", m.name()))
            print(f"{m.number:4} {'survived':10} {0:5}s  (earlier run)  {m.name()}", flush=True)
            continue
        path = os.path.join(ROOT, m.path)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        started = time.time()
        if text.count(m.old) != 1:
            verdict = "stale"
        else:
            current.update(path=path, text=text)
            with open(path, "w", encoding="utf-8") as f:
                f.write(text.replace(m.old, m.new))
            try:
                if not run(build_cmd, 1800, log):
                    verdict = "no-compile"
                else:
                    run.first_failure = "-"
                    verdict = "survived" if run(suite_for(m), args.timeout, log) else "killed"
            finally:
                restore()
        counts[verdict] += 1
        seconds = time.time() - started
        killer = run.first_failure if verdict == "killed" else "-"
        if killer != "-" and not m.suite:
            killers[m.path] = killer.replace(".", "[.]")
        results.append((m.number, verdict, round(seconds), killer, m.name()))
        print(f"{m.number:4} {verdict:10} {seconds:5.0f}s  {killer}  {m.name()}", flush=True)

    # Put the build back to the unmutated sources for whoever uses it next.
    run(build_cmd, 3600, log)
    with open(os.path.join(build, "mutants.tsv"), "w", encoding="utf-8") as f:
        for row in results:
            f.write("\t".join(str(x) for x in row) + "\n")
    judged = counts["killed"] + counts["survived"]
    score = f"{100 * counts['killed'] / judged:.1f}%" if judged else "n/a"
    print(f"killed {counts['killed']}, survived {counts['survived']}, did not compile {counts['no-compile']}, "
          f"stale {counts['stale']}: score {score}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
