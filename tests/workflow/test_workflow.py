"""End-to-end runs of the Snakemake workflow against one korvane-fold run over the same input.

Usage: test_workflow.py KORVANE_FOLD. Exits 77 (skipped) when snakemake is not installed.
"""

import gzip
import os
import random
import re
import shutil
import stat
import subprocess
import sys
import tarfile
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SNAKEFILE = os.path.join(ROOT, "workflow", "Snakefile")
SLURM_PROFILE = os.path.join(ROOT, "workflow", "profiles", "slurm")
SKIPPED = 77
SEED = 16
KORVANE_FOLD = None
SKIP_LINE = re.compile(r"korvane-fold: (.*?): record ([0-9]+) \((.*)\): (.*)")


def randomSequence(rng, low, high):
    return "".join(rng.choice("ACGU") for _ in range(rng.randint(low, high)))


def snakemake(workdir, *arguments, check=True):
    command = ["snakemake", "-s", SNAKEFILE, "-d", workdir] + list(arguments)
    done = subprocess.run(command, capture_output=True, text=True)
    if check and done.returncode != 0:
        raise AssertionError(f"{' '.join(command)} failed ({done.returncode}):\n{done.stdout}\n{done.stderr}")
    return done


def wholeRun(workdir, *arguments):
    """korvane-fold over the inputs in one run, from the workflow's working folder."""
    done = subprocess.run([KORVANE_FOLD, "-q"] + list(arguments), cwd=workdir, capture_output=True)
    return done.stdout, done.stderr.decode()


def skipRows(stderr):
    rows = []
    for line in stderr.splitlines():
        match = SKIP_LINE.fullmatch(line)
        assert match, line
        rows.append([match[1], match[2], match[4]])
    return rows


def tsvRows(path):
    with open(path) as table:
        lines = table.read().splitlines()
    return lines[0].split("\t"), [line.split("\t") for line in lines[1:]]


def mtimes(folder):
    found = {}
    for base, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(base, name)
            found[path] = os.stat(path).st_mtime_ns
    return found


class workflowTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="korvane-workflow-", dir=os.getcwd())
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def write(self, name, text):
        with open(self.path(name), "w") as out:
            out.write(text)

    def test_two_thousand_records_match_one_run_and_a_changed_algorithm_refolds_only(self):
        rng = random.Random(SEED)
        self.write("many.fa", "".join(f">r{k} generated\n{randomSequence(rng, 20, 90)}\n" for k in range(2000)))
        snakemake(self.dir, "--cores", "2", "--config", "input=many.fa", "shard_size=300", f"korvane_fold={KORVANE_FOLD}")
        expected, errors = wholeRun(self.dir, "-j", "1", "many.fa")
        self.assertEqual(errors, "")
        with open(self.path("results", "structures.fa"), "rb") as result:
            self.assertEqual(result.read(), expected)
        shards = sorted(n for n in os.listdir(self.path("results", "shards", "1-many")) if not n.startswith("."))
        self.assertEqual(len(shards), 2 * 7, shards)

        header, rows = tsvRows(self.path("results", "structures.tsv"))
        self.assertEqual(header, ["id", "length", "energy", "structure", "algorithm"])
        blocks = expected.decode().splitlines()
        self.assertEqual(len(rows), 2000)
        for k, row in enumerate(rows):
            title, letters, folded = blocks[3 * k:3 * k + 3]
            self.assertEqual(row[0], title[1:].split()[0])
            self.assertEqual(int(row[1]), len(letters))
            self.assertEqual(f"{row[3]} ({float(row[2]):6.2f})", folded)
            self.assertEqual(row[4], "greedy")
        self.assertEqual(tsvRows(self.path("results", "skipped.tsv")), (["file", "record", "reason"], []))

        # Nothing left to do, then a changed algorithm: shards stay, every shard is folded again.
        self.assertIn("Nothing to be done", snakemake(self.dir, "--cores", "2", "--config", "input=many.fa",
                                                      "shard_size=300", f"korvane_fold={KORVANE_FOLD}").stderr)
        shardsBefore = mtimes(self.path("results", "shards"))
        foldedBefore = mtimes(self.path("results", "folded"))
        snakemake(self.dir, "--cores", "2", "--config", "input=many.fa", "shard_size=300", "algorithm=mfe",
                  f"korvane_fold={KORVANE_FOLD}")
        self.assertEqual(mtimes(self.path("results", "shards")), shardsBefore)
        foldedAfter = mtimes(self.path("results", "folded"))
        self.assertEqual(foldedAfter.keys(), foldedBefore.keys())
        self.assertTrue(all(foldedAfter[p] > foldedBefore[p] for p in foldedBefore))
        # This build may lack the algorithm: then every record is skipped, which is a result too.
        expected, errors = wholeRun(self.dir, "-a", "mfe", "many.fa")
        with open(self.path("results", "structures.fa"), "rb") as result:
            self.assertEqual(result.read(), expected)
        self.assertEqual(tsvRows(self.path("results", "skipped.tsv"))[1], skipRows(errors))
        self.assertTrue(all(row[4] == "mfe" for row in tsvRows(self.path("results", "structures.tsv"))[1]))

    def test_bad_records_are_listed_by_their_place_in_each_input_and_the_rest_is_folded(self):
        rng = random.Random(SEED + 1)
        # Bare lines before the first title, comments, blank and CRLF lines, a record over
        # several lines, a structure line, and bad records in more than one shard.
        parts = ["; notes\n", "\n", randomSequence(rng, 20, 40) + "\n", "ACGZ\n", randomSequence(rng, 20, 40) + "\n"]
        for k in range(40):
            if k % 9 == 4:
                parts.append(f">bad{k} letters\n{randomSequence(rng, 10, 20)}J{randomSequence(rng, 3, 9)}\n")
            elif k % 13 == 6:
                parts.append(f">empty{k}\n\n")
            elif k % 7 == 3:
                parts.append(f">crlf{k}\r\n{randomSequence(rng, 20, 30)}\r\n{randomSequence(rng, 5, 30)}\r\n")
            else:
                body = randomSequence(rng, 25, 60)
                parts.append(f">ok{k} some title\n{body[:20]}\n{body[20:]}\n")
        parts.append(">last\n" + "." * 10 + "\n" + randomSequence(rng, 12, 12))  # no final newline
        self.write("mixed.fa", "".join(parts))
        good = "".join(f">z{k}\n{randomSequence(rng, 30, 50)}\n" for k in range(11))
        with gzip.open(self.path("good.fa.gz"), "wt") as out:
            out.write(good)
        self.write("good.fa", good)

        snakemake(self.dir, "--cores", "2", "--config", "input=[mixed.fa,good.fa.gz]", "shard_size=6", "ct=true",
                  f"korvane_fold={KORVANE_FOLD}")
        expected, errors = wholeRun(self.dir, "mixed.fa", "good.fa")
        with open(self.path("results", "structures.fa"), "rb") as result:
            self.assertEqual(result.read(), expected)
        _, skipped = tsvRows(self.path("results", "skipped.tsv"))
        self.assertEqual(skipped, skipRows(errors))
        self.assertGreaterEqual(len({int(row[1]) // 6 for row in skipped}), 3)  # spread over shards
        self.assertTrue(any(row[2].startswith("line ") for row in skipped))

        # One archive per shard, with a CT file per folded record.
        folded = [line[1:] for line in expected.decode().splitlines()[::3]]
        members = []
        for source in ("1-mixed", "2-good"):
            folder = self.path("results", "ct", source)
            for name in sorted(os.listdir(folder)):
                with tarfile.open(os.path.join(folder, name)) as archive:
                    members += archive.getnames()
        self.assertEqual(len(members), len(folded))
        self.assertTrue(all(member.endswith(".ct") for member in members))

    def test_a_failing_shard_fails_the_run_and_the_next_run_folds_only_that_shard(self):
        rng = random.Random(SEED + 2)
        self.write("in.fa", "".join(f">s{k}\n{randomSequence(rng, 20, 40)}\n" for k in range(50)))
        # Stands in for korvane-fold: breaks on the third shard while the marker file is there, and
        # logs every shard it is run on.
        wrapper = self.path("flaky-fold")
        self.write("flaky-fold", "#!/bin/sh\n"
                   f"for last; do :; done\necho \"$last\" >> {self.path('calls.log')}\n"
                   f"case \"$last\" in *s00003.fa) if [ -e {self.path('break')} ]; then\n"
                   "  echo 'korvane-fold: out of cheese' >&2; exit 1; fi;; esac\n"
                   f"exec {KORVANE_FOLD} \"$@\"\n")
        os.chmod(wrapper, os.stat(wrapper).st_mode | stat.S_IXUSR)
        self.write("break", "")
        arguments = ["--cores", "2", "--keep-going", "--config", "input=in.fa", "shard_size=10", f"korvane_fold={wrapper}"]
        failed = snakemake(self.dir, *arguments, check=False)
        self.assertNotEqual(failed.returncode, 0)
        self.assertIn("Error in rule fold", failed.stderr)
        self.assertIn("out of cheese", failed.stderr)
        self.assertFalse(os.path.exists(self.path("results", "structures.fa")))
        self.assertFalse(os.path.exists(self.path("results", "folded", "1-in", "s00003.fa")))

        os.remove(self.path("break"))
        os.remove(self.path("calls.log"))
        snakemake(self.dir, *arguments)
        with open(self.path("calls.log")) as log:
            self.assertEqual(log.read().split(), ["results/shards/1-in/s00003.fa"])
        expected, _ = wholeRun(self.dir, "in.fa")
        with open(self.path("results", "structures.fa"), "rb") as result:
            self.assertEqual(result.read(), expected)

    def test_the_slurm_profile_plans_every_shard(self):
        self.write("in.fa", "".join(f">s{k}\nGGGGAAACCCC\n" for k in range(25)))
        common = ["--config", "input=in.fa", "shard_size=10", f"korvane_fold={KORVANE_FOLD}"]
        plan = snakemake(self.dir, "-n", "--profile", SLURM_PROFILE, *common)
        self.assertIn("checkpoint shard", plan.stdout)
        # Once the shards exist, the plan holds one fold job per shard.
        snakemake(self.dir, "--cores", "1", "--until", "shard", *common)
        plan = snakemake(self.dir, "-n", "--profile", SLURM_PROFILE, *common)
        self.assertEqual(len(re.findall(r"^rule fold:", plan.stdout, re.MULTILINE)), 3)

    def test_the_slurm_profile_submits_every_shard_with_its_threads_and_memory(self):
        # sbatch and sacct stand-ins: a job runs at once when submitted, sacct tells how it ended.
        fakeBin = self.path("bin")
        os.mkdir(fakeBin)
        self.write("bin/sbatch", "#!/bin/sh\n"
                   f"echo \"$*\" >> {self.path('submitted.log')}\n"
                   f"id=$(( $(ls {self.path('jobs')} | wc -l) + 1 ))\n"
                   "for last; do :; done\n"
                   f"if sh \"$last\" > {self.path('job')}$id.log 2>&1; then state=COMPLETED; else state=FAILED; fi\n"
                   f"echo $state > {self.path('jobs')}/$id\necho $id\n")
        self.write("bin/sacct", f"#!/bin/sh\ncat {self.path('jobs')}/$2\n")
        os.mkdir(self.path("jobs"))
        for name in ("sbatch", "sacct"):
            os.chmod(self.path("bin", name), 0o755)
        self.write("in.fa", ">a\nGGGGAAACCCC\n>b\nACGZ\n>c\nGGGGAAAACCCCAAGGGGAAACCCC\n")
        environment = dict(os.environ, PATH=fakeBin + os.pathsep + os.environ["PATH"])
        command = ["snakemake", "-s", SNAKEFILE, "-d", self.dir, "--profile", SLURM_PROFILE, "--latency-wait", "5",
                   "--config", "input=in.fa", "shard_size=1", "threads=2", "mem_mb=1500",
                   f"korvane_fold={KORVANE_FOLD}"]
        done = subprocess.run(command, capture_output=True, text=True, env=environment)
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(self.path("submitted.log")) as log:
            submitted = log.read().splitlines()
        folds = [line for line in submitted if "--job-name=korvane-fold" in line]
        self.assertEqual(len(submitted), 4)
        self.assertEqual(len(folds), 3)
        self.assertTrue(all("--cpus-per-task=2 " in line and "--mem=1500M " in line for line in folds))
        expected, errors = wholeRun(self.dir, "in.fa")
        with open(self.path("results", "structures.fa"), "rb") as result:
            self.assertEqual(result.read(), expected)
        self.assertEqual(tsvRows(self.path("results", "skipped.tsv"))[1], skipRows(errors))


if __name__ == "__main__":
    if shutil.which("snakemake") is None:
        print("snakemake is not installed: the workflow tests are skipped")
        sys.exit(SKIPPED)
    if len(sys.argv) < 2 or not os.access(sys.argv[1], os.X_OK):
        sys.exit("usage: test_workflow.py KORVANE_FOLD")
    KORVANE_FOLD = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
