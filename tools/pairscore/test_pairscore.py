import contextlib
import io
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pairscore  # noqa: E402


def helix(i, j, length):
    return {(i + k, j - k) for k in range(length)}


def ctText(sequence, pairs, header=None):
    partner = [0] * (len(sequence) + 1)
    for (i, j) in pairs:
        partner[i], partner[j] = j, i
    n = len(sequence)
    lines = [header if header is not None else f"{n:5d}  test"]
    for i in range(1, n + 1):
        lines.append(f"{i:5d}{sequence[i - 1]:>2}{i - 1:8d}{(i + 1) % (n + 1):5d}"
                     f"{partner[i]:5d}{i:5d}")
    return "\n".join(lines) + "\n"


class scoringTest(unittest.TestCase):
    def assertFigures(self, figures, sens, ppv, f1):
        self.assertAlmostEqual(figures.sensitivity, sens)
        self.assertAlmostEqual(figures.ppv, ppv)
        self.assertAlmostEqual(figures.f1, f1)

    def test_identical_structures_score_one(self):
        pairs = helix(1, 30, 5) | helix(8, 20, 3)
        self.assertFigures(pairscore.exactAgreement(pairs, pairs), 1, 1, 1)
        self.assertFigures(pairscore.slipAgreement(pairs, pairs), 1, 1, 1)

    def test_disjoint_structures_score_zero(self):
        predicted = helix(1, 20, 4)
        reference = helix(30, 60, 4)
        self.assertFigures(pairscore.exactAgreement(predicted, reference), 0, 0, 0)
        self.assertFigures(pairscore.slipAgreement(predicted, reference), 0, 0, 0)

    def test_helix_shifted_by_one_gets_slip_credit_only(self):
        reference = helix(5, 30, 4)
        for shifted in (helix(6, 30, 4), helix(4, 30, 4), helix(5, 29, 4), helix(5, 31, 4)):
            with self.subTest(shifted=sorted(shifted)):
                self.assertFigures(pairscore.exactAgreement(shifted, reference), 0, 0, 0)
                self.assertFigures(pairscore.slipAgreement(shifted, reference), 1, 1, 1)

    def test_larger_moves_get_no_slip_credit(self):
        reference = helix(1, 20, 4)
        for moved in (helix(3, 20, 4), helix(1, 22, 4), helix(2, 21, 4)):
            with self.subTest(moved=sorted(moved)):
                self.assertFigures(pairscore.slipAgreement(moved, reference), 0, 0, 0)

    def test_partial_overlap(self):
        reference = helix(1, 40, 4)
        predicted = helix(1, 40, 2) | helix(10, 30, 2)
        self.assertFigures(pairscore.exactAgreement(predicted, reference), 0.5, 0.5, 0.5)
        predicted = helix(1, 40, 2)
        self.assertFigures(pairscore.exactAgreement(predicted, reference), 0.5, 1, 2 / 3)

    def test_reference_pair_is_credited_once(self):
        # Both predicted pairs sit one slip away from the single reference pair.
        figures = pairscore.slipAgreement({(5, 20), (4, 21)}, {(5, 21)})
        self.assertEqual(figures.matched, 1)
        self.assertFigures(figures, 1, 0.5, 2 / 3)

    def test_matching_is_largest_not_first_come(self):
        # (4,20) could take either reference pair; (5,19) only (5,20). Both must be credited.
        figures = pairscore.slipAgreement({(4, 20), (5, 19)}, {(4, 21), (5, 20)})
        self.assertEqual(figures.matched, 2)

    def test_long_shifted_helix_matches_fully(self):
        reference = helix(1, 4000, 1500)
        self.assertEqual(pairscore.slipMatches(helix(2, 4000, 1500), reference), 1500)

    def test_degenerate_cases(self):
        self.assertFigures(pairscore.exactAgreement(set(), set()), 1, 1, 1)
        self.assertFigures(pairscore.slipAgreement(set(), set()), 1, 1, 1)
        self.assertFigures(pairscore.exactAgreement(set(), helix(1, 20, 3)), 0, 0, 0)
        self.assertFigures(pairscore.slipAgreement(set(), helix(1, 20, 3)), 0, 0, 0)
        self.assertFigures(pairscore.exactAgreement(helix(1, 20, 3), set()), 0, 0, 0)
        self.assertFigures(pairscore.slipAgreement(helix(1, 20, 3), set()), 0, 0, 0)


class readCtTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def write(self, text, name="x.ct"):
        path = os.path.join(self.folder.name, name)
        with open(path, "w") as stream:
            stream.write(text)
        return path

    def assertRejected(self, text, fragment):
        path = self.write(text)
        with self.assertRaises(pairscore.CtError) as caught:
            pairscore.readCt(path)
        self.assertIn(path, str(caught.exception))
        self.assertIn(fragment, str(caught.exception))

    def test_reads_pairs_letters_and_energy_header(self):
        text = "# made by hand\n" + ctText("GGGAAACCC", helix(1, 9, 3),
                                          header="    9  ENERGY = -1.2  t1")
        record = pairscore.readCt(self.write(text))
        self.assertEqual(record.length, 9)
        self.assertEqual(record.letters, "GGGAAACCC")
        self.assertEqual(record.pairs, frozenset({(1, 9), (2, 8), (3, 7)}))

    def test_reads_unpaired_and_crossing_pairs(self):
        self.assertEqual(pairscore.readCt(self.write(ctText("ACGU", set()))).pairs, frozenset())
        knot = {(1, 5), (3, 8)}
        self.assertEqual(pairscore.readCt(self.write(ctText("GAGACUCU", knot))).pairs, knot)

    def test_rejects_short_line(self):
        text = ctText("GGGAAACCC", set()).replace("    4 A       3    5    0    4",
                                                   "    4 A       3    5    0")
        self.assertRejected(text, "line 5: expected 6 values, found 5")

    def test_rejects_one_sided_pair(self):
        text = ctText("GGGAAACCC", set()).replace("    1 G       0    2    0",
                                                   "    1 G       0    2    9")
        self.assertRejected(text, "position 1 pairs with 9, but 9 pairs with 0")

    def test_rejects_partner_out_of_range_or_self(self):
        base = ctText("GGGAAACCC", set())
        self.assertRejected(base.replace("    2 G       1    3    0", "    2 G       1    3   10"),
                            "line 3: expected a partner in 0..9 other than 2, found 10")
        self.assertRejected(base.replace("    2 G       1    3    0", "    2 G       1    3    2"),
                            "found 2")

    def test_rejects_truncated_file_and_bad_header(self):
        self.assertRejected("\n".join(ctText("GGGAAACCC", set()).splitlines()[:5]) + "\n",
                            "line 6: expected the line of position 5, found the end of the file")
        self.assertRejected("", "line 1: expected the header")
        self.assertRejected("ten  title\n", "expected a positive length, found 'ten'")
        self.assertRejected(ctText("GGG", set()).replace("    2 G", "    7 G"),
                            "expected position 2, found '7'")


class commandTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def write(self, name, text):
        path = os.path.join(self.folder.name, name)
        with open(path, "w") as stream:
            stream.write(text)
        return path

    def run_main(self, *args):
        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            status = pairscore.main(["pairscore.py", *args])
        return status, out.getvalue(), err.getvalue()

    def test_prints_both_figure_lines(self):
        predicted = self.write("p.ct", ctText("GGGGAAAACCCC", helix(2, 12, 3)))
        reference = self.write("r.ct", ctText("GGGGAAAACCCC", helix(1, 12, 4)))
        status, out, _ = self.run_main(predicted, reference)
        self.assertEqual(status, 0)
        self.assertEqual(out.splitlines(), [
            "pairs  predicted 3  reference 4",
            "exact  sensitivity 0.000  ppv 0.000  f1 0.000  matched 0",
            "slip   sensitivity 0.750  ppv 1.000  f1 0.857  matched 3",
        ])

    def test_refuses_different_molecules_and_bad_files(self):
        predicted = self.write("p.ct", ctText("GGGGAAAACCCC", set()))
        other = self.write("o.ct", ctText("GGGGAAAACCC", set()))
        status, out, err = self.run_main(predicted, other)
        self.assertEqual((status, out), (1, ""))
        self.assertIn("not the same molecule: lengths differ: 12 against 11", err)
        self.assertIn("position 5 is A in one and G in the other",
                      self.run_main(predicted, self.write(
                          "g.ct", ctText("GGGGGAAACCCC", set())))[2])
        status, _, err = self.run_main(predicted, os.path.join(self.folder.name, "missing.ct"))
        self.assertEqual(status, 1)
        self.assertIn("missing.ct", err)
        self.assertEqual(self.run_main(predicted)[0], 2)

    def test_thymine_reads_as_uracil(self):
        predicted = self.write("p.ct", ctText("GATC", set()))
        reference = self.write("r.ct", ctText("gauc", set()))
        self.assertEqual(self.run_main(predicted, reference)[0], 0)


if __name__ == "__main__":
    unittest.main()
