import os
import stat
import subprocess
import sys
import tempfile
import textwrap
import unittest
from importlib.machinery import SourceFileLoader
from importlib.util import module_from_spec, spec_from_loader

RUN = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "run")
loader = SourceFileLoader("benchrun", RUN)
benchrun = module_from_spec(spec_from_loader("benchrun", loader))
loader.exec_module(benchrun)

# Stands in for korvane: needs dat/ and a closed standard input, writes a CT file whose pairs
# join the first three positions to the last three; "bad*" is reported invalid, "quiet*"
# writes nothing, "crash*" exits 1.
FAKE_KORVANE = textwrap.dedent('''\
    #!/usr/bin/env python3
    import os, sys
    if not os.path.isdir("dat") or sys.stdin.read(1) != "":
        sys.exit(7)
    for f in sorted(os.listdir("sequences")):
        if not f.endswith(".fasta"):
            continue
        name = f.split(".")[0]
        if name.startswith("crash"):
            sys.exit(1)
        if name.startswith("bad"):
            print("\\nCan not process invalid file ./sequences/" + f + ". \\nPress ENTER to continue.")
            continue
        if name.startswith("quiet"):
            continue
        seq = "".join(l.strip() for l in open("sequences/" + f) if not l.startswith(">"))
        n = len(seq)
        partner = [0] * (n + 1)
        for k in range(3):
            partner[1 + k], partner[n - k] = n - k, 1 + k
        with open("sequences/" + name + "_varn.ct", "w") as out:
            out.write("%5i  ENERGY = -1.0  %s\\n" % (n, name))
            for i in range(1, n + 1):
                out.write("%5i%2c%8i%5i%5i%5i\\n" % (i, seq[i - 1], i - 1, (i + 1) % (n + 1), partner[i], i))
    ''')

# Stands in for bench/fold's fold_bench: FOLDER --dat DIR, a table with a header line.
FAKE_FOLD = textwrap.dedent('''\
    #!/usr/bin/env python3
    import os, sys
    folder, flag, dat = sys.argv[1:]
    if flag != "--dat" or not os.path.isdir(dat):
        sys.exit(2)
    print("%-40s %6s %6s %6s %8s %9s %9s" % ("file", "length", "stems", "passes", "energy",
                                              "cpu ms", "search"))
    for f in sorted(os.listdir(folder)):
        if f.endswith(".fasta"):
            print("%-40s %6d %6d %6d %8.1f %9.3f %9.3f" % (f[:-6], 12, 12, 4, -1.5, 0.5, 0.1))
            print("  printed: in isAstem returen false, 1 2 3")
    print("files 9, bases 99, total 1.0 ms, slowest 0.5 ms")
    ''')


def ctText(sequence, pairs):
    partner = [0] * (len(sequence) + 1)
    for (i, j) in pairs:
        partner[i], partner[j] = j, i
    n = len(sequence)
    rows = [f"{n:5d}  ref"] + [f"{i:5d}{sequence[i - 1]:>2}{i - 1:8d}{(i + 1) % (n + 1):5d}"
                               f"{partner[i]:5d}{i:5d}" for i in range(1, n + 1)]
    return "\n".join(rows) + "\n"


class benchRunTest(unittest.TestCase):
    def setUp(self):
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        self.root = scratch.name
        self.folder = os.path.join(self.root, "set")
        os.mkdir(self.folder)
        self.korvane = self.program("korvane", FAKE_KORVANE)
        self.fold = self.program("fold", FAKE_FOLD)

    def program(self, name, text):
        path = os.path.join(self.root, name)
        with open(path, "w") as stream:
            stream.write(text)
        os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
        return path

    def add(self, name, sequence, refPairs=None):
        with open(os.path.join(self.folder, f"{name}.fasta"), "w") as stream:
            stream.write(f">{name}\n{sequence}\n")
        if refPairs is not None:
            with open(os.path.join(self.folder, f"{name}.ref.ct"), "w") as stream:
                stream.write(ctText(sequence, refPairs))

    def manifest(self, rows):
        with open(os.path.join(self.folder, "manifest.tsv"), "w") as stream:
            stream.write("name\tfamily\tlength\n")
            stream.writelines(f"{n}\t{f}\t0\n" for n, f in rows)

    def bench(self, *extra):
        return subprocess.run([sys.executable, RUN, self.folder, "--korvane", self.korvane,
                               "--repeat", "1", *extra], stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=120)

    def rows(self, output, section):
        # The section whose title starts with section; rows keyed by their first word.
        block = output.split(f"\n{section}", 1)[1].split("\n\n", 2)[1].splitlines()[2:]
        return {line.split()[0]: line.split() for line in block}

    def test_scores_speed_rows_and_families(self):
        helix = {(1, 12), (2, 11), (3, 10)}
        self.add("alpha", "GGGAAAAAACCC", helix)                         # found exactly
        self.add("beta", "GGGGAAAAACCCC", {(2, 13), (3, 12), (4, 11)})   # one slip away
        self.add("quiet", "GGGAAAAAACCC", helix)                         # no output at all
        self.add("bad", "GGGAAAAAACCC", helix)                           # invalid file
        self.add("solo", "GGGAAAAAACCC")                                 # no reference
        self.manifest([("alpha", "famA"), ("beta", "famA"), ("quiet", "famB"), ("bad", "famB")])
        markdown = os.path.join(self.root, "out.md")
        done = self.bench("--markdown", markdown, "--fold", self.fold)
        self.assertEqual(done.returncode, 0, done.stderr)

        speed = self.rows(done.stdout, "Per molecule")
        self.assertEqual(sorted(speed), ["alpha", "bad", "beta", "quiet", "solo"])
        self.assertEqual(speed["alpha"][1:5], ["12", "12", "4", "0.50"])
        self.assertEqual(speed["alpha"][-1], "ok")
        self.assertEqual(speed["quiet"][8:], ["no", "CT"])
        self.assertEqual(speed["bad"][-1], "invalid")

        accuracy = self.rows(done.stdout, "Accuracy per molecule")
        self.assertEqual(sorted(accuracy), ["alpha", "bad", "beta", "quiet"])
        self.assertEqual(accuracy["alpha"][3:], ["3", "3"] + ["1.000"] * 6)
        self.assertEqual(accuracy["beta"][5:], ["0.000"] * 3 + ["1.000"] * 3)
        self.assertEqual(accuracy["quiet"][4:], ["0"] + ["0.000"] * 6)

        families = self.rows(done.stdout, "Accuracy per family (means over molecules)")
        self.assertEqual(families["famA"][1:], ["2", "0.500", "0.500", "0.500",
                                                "1.000", "1.000", "1.000"])
        self.assertEqual(families["famB"][1:], ["2"] + ["0.000"] * 6)
        self.assertEqual(families["all"][2:], ["4", "0.250", "0.250", "0.250",
                                               "0.500", "0.500", "0.500"])

        with open(markdown) as stream:
            text = stream.read()
        self.assertIn("## Accuracy per family (means over molecules)", text)
        self.assertIn("| famA | 2 | 0.500 | 0.500 | 0.500 | 1.000 | 1.000 | 1.000 |", text)
        self.assertIn("- processors (nproc): ", text)

    def test_folder_run_and_totals(self):
        self.add("alpha", "GGGAAAAAACCC", {(1, 12), (2, 11), (3, 10)})
        self.add("quiet", "GGGAAAAAACCC")
        done = self.bench("--fold", "none")
        self.assertEqual(done.returncode, 0, done.stderr)
        totals = done.stdout.split("Totals\n\n", 1)[1]
        self.assertRegex(totals, r"molecules\s+2\n")
        self.assertRegex(totals, r"runs ending with a CT that has pairs\s+1\n")
        self.assertRegex(totals, r"same CT files from the folder run and the single runs\s+yes")
        self.assertIn("stems and passes: no in-process bench program", done.stdout)
        self.assertEqual(self.rows(done.stdout, "Per molecule")["alpha"][2:5],
                         ["-", "-", "-"])

    def test_crashing_run_is_reported(self):
        self.add("crash", "GGGAAAAAACCC", {(1, 12)})
        done = self.bench("--fold", "none")
        self.assertEqual(done.returncode, 0, done.stderr)
        speed = self.rows(done.stdout, "Per molecule")
        self.assertEqual(speed["crash"][-2:], ["exit", "1"])

    def test_refuses_missing_or_empty_folder(self):
        os.rmdir(self.folder)
        done = self.bench()
        self.assertEqual(done.returncode, 2)
        self.assertIn(f"no folder {self.folder}", done.stderr)
        self.assertEqual(done.stdout, "")
        os.mkdir(self.folder)
        done = self.bench()
        self.assertEqual(done.returncode, 2)
        self.assertIn("no .fasta file in", done.stderr)

    def test_bad_prediction_counts_as_none(self):
        self.add("alpha", "GGGAAAAAACCC", {(1, 12), (2, 11), (3, 10)})
        item = benchrun.molecule(name="alpha", fasta="alpha.fasta", length=12)
        predicted = os.path.join(self.root, "p.ct")
        with open(predicted, "w") as stream:
            stream.write("   12  x\n    1 G       0    2    0\n")
        benchrun.scoreMolecule(item, predicted, os.path.join(self.folder, "alpha.ref.ct"))
        self.assertEqual(item.result, "bad CT")
        self.assertIn("expected 6 values, found 5", item.note)
        self.assertEqual((item.predPairs, item.scores["slip"].f1), (0, 0.0))
        with open(predicted, "w") as stream:
            stream.write(ctText("GGGAAAAAACCCA", {(1, 12)}))
        benchrun.scoreMolecule(item, predicted, os.path.join(self.folder, "alpha.ref.ct"))
        self.assertEqual(item.result, "other molecule")
        self.assertEqual(item.scores["exact"].f1, 0.0)


class inputsTest(unittest.TestCase):
    def test_fasta_length_skips_titles_blanks_and_dot_bracket(self):
        with tempfile.NamedTemporaryFile("w", suffix=".fasta", delete=False) as stream:
            stream.write(">t\nGG GA\naacc\n((..))..\n")
        self.addCleanup(os.unlink, stream.name)
        self.assertEqual(benchrun.fastaLength(stream.name), 8)

    def test_output_name_is_cut_at_first_dot(self):
        self.assertEqual(benchrun.outputName("a.b.fasta"), "a")

    def test_manifest_without_family_column_is_refused(self):
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "manifest.tsv"), "w") as stream:
                stream.write("name\tlength\nx\t3\n")
            with self.assertRaises(benchrun.BenchError) as caught:
                benchrun.readManifest(folder)
            self.assertIn("expected columns name and family", str(caught.exception))

    def test_fold_output_is_read_per_name(self):
        text = ("file   length stems passes energy ms\n"
                "alpha      12    12      4   -1.5  0.512\n"
                "  printed: a b c d e f\n"
                "beta  30 x 2 -1.0 0.1\n"
                "files 2, bases 42, total 1.0 ms, slowest 0.5 ms\n")
        self.assertEqual(benchrun.parseFoldOutput(text),
                         {"alpha": {"stems": 12, "passes": 4, "ms": 0.512}})
        self.assertEqual(benchrun.parseFoldOutput("alpha 12 12 4 -1.5 0.5\n"), {})

    def test_fold_output_with_two_word_time_label(self):
        text = ("file            length  stems passes   energy    cpu ms    search\n"
                "a-long-name-of-more-than-forty-characters-x    770   7342      4   -120.5"
                "    34.170     2.125\n")
        self.assertEqual(benchrun.parseFoldOutput(text),
                         {"a-long-name-of-more-than-forty-characters-x":
                          {"stems": 7342, "passes": 4, "ms": 34.17}})

if __name__ == "__main__":
    unittest.main()
