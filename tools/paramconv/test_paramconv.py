"""Tests of paramconv: value conversion, refusals, file layouts, and a round trip through
korvane's own reader (the paramconv_probe program, found through PARAMCONV_PROBE)."""

import contextlib
import io
import math
import os
import struct
import subprocess
import tempfile
import unittest
from itertools import product

import paramconv as pc

A, C, G, U = 1, 2, 3, 4
PAIRS = [(1, 4), (2, 3), (3, 2), (4, 1), (3, 4), (4, 3)]
# source pair index, written out independently of the converter
P = {(C, G): 1, (G, C): 2, (G, U): 3, (U, G): 4, (A, U): 5, (U, A): 6}
LETTERS = {A: "A", C: "C", G: "G", U: "U"}

SHAPES = {"stack": (7, 7), "mismatch_hairpin": (7, 5, 5), "mismatch_internal": (7, 5, 5),
          "mismatch_internal_1n": (7, 5, 5), "mismatch_internal_23": (7, 5, 5),
          "mismatch_multi": (7, 5, 5), "mismatch_exterior": (7, 5, 5), "dangle5": (7, 5),
          "dangle3": (7, 5), "int11": (7, 7, 5, 5), "int21": (7, 7, 5, 5, 5),
          "int22": (6, 6, 4, 4, 4, 4), "hairpin": (31,), "bulge": (31,), "internal": (31,)}
TOKEN_TOTALS = {"loop": 146, "stack": 538, "coaxial": 538, "dangle": 608, "int11": 1318,
                "int21": 5098, "int22": 11320}


def flat(shape, index):
    position = 0
    for size, i in zip(shape, index):
        assert 0 <= i < size
        position = position * size + i
    return position


class Source:
    """A synthetic source file: every cell distinct, off the tenths grid by -5..4 dcal so the
    rounding is exercised, and a few infinite cells."""

    def __init__(self):
        self.tables = {}
        for salt, (name, shape) in enumerate(SHAPES.items()):
            count = math.prod(shape)
            for suffix, extra in (("", 0), ("_enthalpies", 5003)):
                self.tables[name + suffix] = [
                    ((k * 37 + salt * 101 + extra) % 13001 - 6500) * 10 + k % 10 - 5 for k in range(count)]
        self.set("mismatch_hairpin", (P[C, G] - 1, 3, 1), "INF")
        self.set("int11", (P[G, C] - 1, P[C, G] - 1, 2, 2), "INF")
        self.set("internal_enthalpies", (10,), "INF")  # infinite enthalpy under a finite free energy
        for name in ("hairpin", "hairpin_enthalpies"):
            self.set(name, (3,), 540)
            self.set(name, (4,), 560)
            self.set(name, (6,), 540)
        self.ninio = "-30 20 300"
        self.ml = "10 20 340 30 -40 50"
        self.misc = "410 0 50 0 107.856 0"
        self.tetraloops = ["GGGGAC 20 -1110", "CUUCGG 80 -1210"]
        self.triloops = ["CAACG 680 2370", "UGAAA 690 1080"]
        self.hexaloops = ["ACAGUACU 280 -1680"]

    def set(self, name, index, value):
        shape = SHAPES[name.replace("_enthalpies", "")]
        self.tables[name][flat(shape, index)] = value

    def get(self, name, *index):
        value = self.tables[name][flat(SHAPES[name.replace("_enthalpies", "")], index)]
        return None if value == "INF" else value

    def text(self, labels="blocks"):
        """The source text; labels "blocks" heads the int blocks ("CG.A..GC"), "rows" ends
        every row with the names of its indices ("CG,GC,A"), as the two published files do."""
        lines = [pc.FILE_HEADING, ""]
        for name, values in self.tables.items():
            lines.append(f"# {name}")
            base = name.replace("_enthalpies", "")
            shape = SHAPES[base]
            block = shape[-1] * shape[-2] if base in ("int11", "int21", "int22") else None
            row = shape[-1]
            for start in range(0, len(values), row):
                if labels == "blocks" and block and start % block == 0:
                    lines.append(f"/* {pc._block_label(base, start // block)} */")
                line = " ".join(str(v) for v in values[start:start + row])
                if labels == "rows" and len(shape) > 1:
                    line += f" /* {row_label(shape, start)} */"
                lines.append(line)
            lines.append("")
        for name, body in (("NINIO", self.ninio), ("ML_params", self.ml), ("Misc", self.misc)):
            lines += [f"# {name}", body, ""]
        for name, rows in (("Tetraloops", self.tetraloops), ("Triloops", self.triloops),
                           ("Hexaloops", self.hexaloops)):
            lines += [f"# {name}"] + rows + [""]
        lines.append("# END")
        return "\n".join(lines) + "\n"


def row_label(shape, position):
    pairs = ["CG", "GC", "GU", "UG", "AU", "UA", "NN"]
    names = []
    for size in reversed(shape):
        names.insert(0, pairs[position % size] if size in (6, 7) else ("NACGU" if size == 5 else "ACGU")[position % size])
        position //= size
    return ",".join(names[:-1])


def tenths(v):
    return None if v is None else math.floor((v + 5) / 10)


def single(value):
    return struct.unpack("f", struct.pack("f", value))[0]


class ValueTests(unittest.TestCase):
    def test_units_round_half_up_with_exact_floor(self):
        for dcal, expected in ((-330, -33), (0, 0), (725, 73), (-725, -72), (5, 1), (-5, 0), (-6, -1), (None, None)):
            self.assertEqual(pc.tenths(dcal), expected, dcal)

    def test_texts_have_one_decimal(self):
        self.assertEqual([pc.one_decimal(t) for t in (-33, 0, 73, -3, 140)], ["-3.3", "0.0", "7.3", "-0.3", "14.0"])
        self.assertEqual(pc.entry_text(None), ".")
        self.assertEqual(pc.number_text(None), "1400.0")

    def test_truncated_records_land_on_their_value(self):
        # the reader keeps the integer part of float(v) * 10 + 0.5
        for t in range(-60, 61):
            v = single(float(pc.truncated_text(t)))
            self.assertEqual(math.trunc(v * 10 + 0.5), t, t)

    def test_mapping_worked_tetraloop_bonuses(self):
        source = Source()
        source.set("mismatch_hairpin", (P[G, C] - 1, G, A), -240)
        source.set("mismatch_hairpin", (P[C, G] - 1, U, G), -180)
        outputs = pc.convert(source.text())
        self.assertIn("GGGGAC -3.0\n", outputs["tloop.dat"])  # 20 - 560 - (-240)
        self.assertIn("CUUCGG -3.0\n", outputs["tloop.dat"])  # 80 - 560 - (-180)


class RejectTests(unittest.TestCase):
    def assertRefused(self, text, *fragments):
        with self.assertRaises(pc.ConversionError) as caught:
            pc.convert(text, "bad.par")
        for fragment in fragments:
            self.assertIn(fragment, str(caught.exception))

    def line_of(self, text, needle):
        return next(n for n, line in enumerate(text.splitlines(), 1) if needle in line)

    def test_bad_token_names_section_and_line(self):
        text = Source().text()
        line = self.line_of(text, "# stack") + 2
        lines = text.splitlines()
        lines[line - 1] = lines[line - 1].replace(lines[line - 1].split()[2], "-1i40", 1)
        self.assertRefused("\n".join(lines), f"line {line}", "section stack", "'-1i40'")

    def test_missing_and_extra_values(self):
        text = Source().text()
        start = self.line_of(text, "# bulge")
        lines = text.splitlines()
        lines[start] = " ".join(lines[start].split()[1:])
        self.assertRefused("\n".join(lines), "section bulge", "expected 31 values, found 30")
        lines = text.splitlines()
        lines[start] += " 7"
        self.assertRefused("\n".join(lines), f"line {start + 1}", "expected 31 values, found 32")

    def test_misplaced_block_label(self):
        text = Source().text()
        lines = text.splitlines()
        first = self.line_of(text, "/* CG.@..CG */")
        lines[first + 1] = lines[first + 1] + " 1 2 3 4 5"  # a doubled row inside block 1
        lines.pop(self.line_of(text, "# int21_enthalpies") - 2)  # keep the count right
        self.assertRefused("\n".join(lines), "section int21", "block label CG.A..CG")

    def test_structural_faults(self):
        good = Source().text()
        self.assertRefused("# stack\n1 2\n", "line 1", "RNAfold parameter file v2.0")
        self.assertRefused(good.replace("# NINIO\n", "# NINIOX\n"), "section NINIO", "section missing")
        self.assertRefused(good.replace("# Misc\n", "# stack\n"), "section stack", "section repeated")
        self.assertRefused(good.replace("# Misc\n410", "# Misc\n/* open 410"), "is not closed")
        self.assertRefused(good.replace("-30 20 300", "INF 20 300"), "section NINIO", "INF is not allowed")
        self.assertRefused(good.replace("410 0 50 0 107.856 0", "410 0 50"), "section Misc", "expected 4 or 6")

    def test_special_hairpin_faults(self):
        source = Source()
        source.tetraloops = ["GGGAC 20 -1110"]
        self.assertRefused(source.text(), "section Tetraloops", "6 letters")
        source.tetraloops = ["GGGGAA 20 -1110"]
        self.assertRefused(source.text(), "section Tetraloops", "not a canonical pair")
        source.tetraloops = ["GGGGAC 20"]
        self.assertRefused(source.text(), "section Tetraloops", "found 2 tokens")
        source.tetraloops = [f"GGGGAC {k} 0" for k in range(201)]
        self.assertRefused(source.text(), "section Tetraloops", "more than 200")


class LayoutTests(unittest.TestCase):
    def test_every_file_has_the_token_count_of_its_layout(self):
        outputs = pc.convert(Source().text(), "synthetic source.par")
        self.assertEqual(len(outputs), 38)
        for name, text in outputs.items():
            base, _ = os.path.splitext(name)
            tokens = text.split()
            if base in ("tloop", "triloop", "hexaloop"):
                self.assertEqual(len(tokens) % 2, 1, name)
            elif base == "miscloop":
                self.assertEqual(tokens.count("-->"), 14, name)
            else:
                self.assertEqual(len(tokens), TOKEN_TOTALS.get(base, 542), name)

    def test_written_files_match_convert(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "in.par")
            with open(path, "w") as f:
                f.write(Source().text())
            self.assertEqual(pc.main([path, os.path.join(folder, "out")]), 0)
            self.assertEqual(len(os.listdir(os.path.join(folder, "out"))), 38)
            with open(path, "w") as f:
                f.write("not a parameter file\n")
            self.assertEqual(pc.main([path, os.path.join(folder, "out2")]), 1)
            self.assertFalse(os.path.exists(os.path.join(folder, "out2")))


def symmetric_stack(source):
    for suffix in ("", "_enthalpies"):
        for p, q in product(range(7), repeat=2):
            source.set("stack" + suffix, (p, q), -100 * (1 + min(p, q)) - 10 * max(p, q))


class NewerFormTests(unittest.TestCase):
    """The forms of the 2004 file: row labels, a four-value Misc with enthalpies, '-0', a
    malformed stack cell mended from its mirror, and the 2004 hairpin rules."""

    def test_row_labels_are_read_and_checked(self):
        source = Source()
        source.set("dangle5", (P[G, C] - 1, A), "-0")
        text = source.text(labels="rows")
        self.assertIn("/* CG,GC,N,A */", text)
        self.assertEqual(pc.convert(text), pc.convert(source.text()))

        def refused(lines, fragment):
            with self.assertRaises(pc.ConversionError) as caught:
                pc.convert("\n".join(lines), "new.par")
            self.assertIn(fragment, str(caught.exception))

        lines = text.splitlines()
        first = lines.index("# mismatch_multi")
        row = next(n for n in range(first, len(lines)) if lines[n].endswith("/* CG,A */"))
        moved = lines[:]
        values = moved[row].split("/*")[0].split()
        moved[row] = " ".join(values[1:]) + " /* CG,A */"  # the count stays, the rows shift
        moved[row + 1] = values[0] + " " + moved[row + 1]
        refused(moved, f"line {row + 2} (section mismatch_multi): row label CG,C inside row CG,A")
        renamed = lines[:]
        renamed[row + 1] = renamed[row + 1].replace("/* CG,C */", "/* CG,G */")
        refused(renamed, f"line {row + 2} (section mismatch_multi): row label CG,G where row CG,C begins")

    def test_four_value_misc_with_enthalpies(self):
        source = Source()
        source.misc = "410 360 50 370"
        source.ml = "0 0 930 3000 -90 -220"
        outputs = pc.convert(source.text())
        misc = outputs["miscloop.dat"].split("-->")[1:]
        misc_dh = outputs["miscloop.dh"].split("-->")[1:]
        self.assertEqual(misc[0].split()[0], "1.079")  # no LXC in the section: 1.75 RT at 37 C
        self.assertEqual((misc[4].split()[:3], misc_dh[4].split()[:3]), (["9.3", "0.0", "-0.9"], ["30.0", "0.0", "-2.2"]))
        self.assertEqual([misc[k].split()[0] for k in (7, 12)], ["0.5", "4.1"])
        self.assertEqual([misc_dh[k].split()[0] for k in (7, 12)], ["3.7", "3.6"])  # given by the source here

    def test_hairpin_rules(self):
        text = Source().text()
        polyc3 = lambda outputs: outputs["miscloop.dat"].split("-->")[12].split()[0]
        self.assertEqual(polyc3(pc.convert(text)), "1.4")
        self.assertEqual(polyc3(pc.convert(text, rules="turner2004")), "1.5")

    def source_with_bad_stack_cell(self, symmetric=True):
        source = Source()
        if symmetric:
            symmetric_stack(source)
        source.set("stack", (P[G, U] - 1, P[A, U] - 1), "-1i40")
        return source

    def test_malformed_stack_cell_taken_from_its_mirror(self):
        source = self.source_with_bad_stack_cell()
        text = source.text()
        with self.assertRaises(pc.ConversionError):
            pc.convert(text, "new.par")
        notes = []
        outputs = pc.convert(text, "new.par", mend=True, notes=notes)
        mirror = source.get("stack", P[A, U] - 1, P[G, U] - 1)
        source.set("stack", (P[G, U] - 1, P[A, U] - 1), mirror)
        self.assertEqual(outputs, pc.convert(source.text(), "new.par"))
        bad_line = next(n for n, line in enumerate(text.splitlines(), 1) if "-1i40" in line)
        self.assertEqual(notes, [f"new.par: line {bad_line} (section stack): '-1i40' is not a number;"
                                 f" took {mirror} from its mirror cell on line {bad_line + 2}"])
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "in.par")
            with open(path, "w") as f:
                f.write(text)
            errors = io.StringIO()
            with contextlib.redirect_stderr(errors), contextlib.redirect_stdout(io.StringIO()):
                self.assertEqual(pc.main(["--mirror-repair", path, os.path.join(folder, "out")]), 0)
            self.assertIn("took", errors.getvalue())

    def test_malformed_cells_that_cannot_be_mended(self):
        def refused(source, fragment):
            with self.assertRaises(pc.ConversionError) as caught:
                pc.convert(source.text(), "new.par", mend=True)
            self.assertIn("'-1i40'", str(caught.exception))
            self.assertIn(fragment, str(caught.exception))

        refused(self.source_with_bad_stack_cell(symmetric=False), "the table is not symmetric")
        source = self.source_with_bad_stack_cell()
        source.set("stack", (P[A, U] - 1, P[G, U] - 1), "-1i40")
        refused(source, "its mirror cell is no number either")
        source = Source()
        source.set("int11", (0, 0, 1, 1), "-1i40")  # only symmetric tables are mended
        refused(source, "section int11")


def expected_cells(source, suffix):
    """Every cell the reader should hold, from the cell formulas, in tenths (14000 = '.')."""
    V = lambda name, *index: source.get(name + suffix, *index)
    free = lambda name, *index: source.get(name, *index)

    def cell(name, *index):
        value = tenths(V(name, *index))
        if tenths(free(name, *index)) is None:
            return 14000
        return 0 if value is None else value  # infinite enthalpy under a finite free energy

    canonical = lambda x, y: (x, y) in P
    cells = {}
    quads = list(product(range(1, 5), repeat=4))
    mismatch = {"tstackh": "mismatch_hairpin", "tstacki": "mismatch_internal",
                "tstacki23": "mismatch_internal_23", "tstacki1n": "mismatch_internal_1n"}
    for a, b, c, d in quads:
        ok = canonical(a, b)
        cells["stack", a, b, c, d] = cell("stack", P[a, b] - 1, P[d, c] - 1) if ok and canonical(c, d) else 14000
        cells["coaxial", b, a, c, d] = cells["stack", a, b, c, d]
        for table, section in mismatch.items():
            cells[table, a, b, c, d] = cell(section, P[a, b] - 1, c, d) if ok else 14000
        cells["tstackm", a, b, c, d] = cell("mismatch_multi", P[b, a] - 1, d, c) if ok else 14000
        cells["tstack", a, b, c, d] = cell("mismatch_exterior", P[b, a] - 1, d, c) if ok else 14000
        cells["coaxstack", a, b, c, d] = -21 if ok or canonical(c, d) else 14000
    for a, b, c, d in quads:
        if canonical(a, b):
            cells["tstackcoax", a, b, c, d] = cells["tstack", a, b, c, d]
        elif canonical(c, d):
            cells["tstackcoax", a, b, c, d] = cells["tstack", d, c, b, a]
        else:
            cells["tstackcoax", a, b, c, d] = 14000
    for a, b, c in product(range(1, 5), repeat=3):
        ok = canonical(a, b)
        cells["dangle", a, b, c, 1] = cell("dangle3", P[b, a] - 1, c) if ok else 14000
        cells["dangle", a, b, c, 2] = cell("dangle5", P[b, a] - 1, c) if ok else 14000
    for n in range(1, 31):
        cells["internalLoop", n] = cell("internal", n)
        cells["bulgeLoop", n] = cell("bulge", n)
        cells["hairpinLoop", n] = cell("hairpin", n)
    for (a, d), (c, f) in product(PAIRS, PAIRS):
        for b, e in product(range(1, 5), repeat=2):
            cells["int11", a, b, c, d, e, f] = cell("int11", P[a, d] - 1, P[f, c] - 1, b, e)
    for (a, b), (f, g) in product(PAIRS, PAIRS):
        for c, d, e in product(range(1, 5), repeat=3):
            cells["int21", a, b, c, d, e, f, g] = cell("int21", P[a, b] - 1, P[g, f] - 1, c, e, d)
    for (a, c), (b, d) in product(PAIRS, PAIRS):
        for e, f, g, h in quads:
            cells["int22", a, b, c, d, e, f, g, h] = cell("int22", P[a, c] - 1, P[d, b] - 1, e - 1, f - 1, h - 1, g - 1)
    return cells


@unittest.skipUnless(os.environ.get("PARAMCONV_PROBE"), "PARAMCONV_PROBE is set when run through ctest")
class RoundTripTests(unittest.TestCase):
    """Converter output read back by korvane's reader lands every value in its cell."""

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.source = Source()
        pc.write_outputs(pc.convert(cls.source.text(), "synthetic.par"), cls.folder.name)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def probe(self, kind, queries):
        result = subprocess.run([os.environ["PARAMCONV_PROBE"], self.folder.name, kind],
                                input="\n".join(queries) + "\n", capture_output=True, text=True, check=False)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "", "the reader warned about converter output")
        return result.stdout.split()

    def check_tables(self, kind, suffix):
        cells = expected_cells(self.source, suffix)
        keys = list(cells)
        answers = self.probe(kind, [" ".join(str(x) for x in key) for key in keys])
        wrong = [(key, int(got), cells[key]) for key, got in zip(keys, answers) if int(got) != cells[key]]
        self.assertEqual(len(answers), len(keys))
        self.assertEqual(wrong[:5], [], f"{len(wrong)} cells differ")

    def test_free_energy_tables(self):
        self.check_tables("dat", "")

    def test_enthalpy_tables(self):
        self.check_tables("dh", "_enthalpies")

    def test_infinite_cells(self):
        got = self.probe("dat", ["tstackh 2 3 3 1", "int11 3 2 3 2 2 2"])
        self.assertEqual(got, ["14000", "14000"])
        self.assertEqual(self.probe("dh", ["internalLoop 10"]), ["0"])

    def test_special_hairpins(self):
        s = self.source
        queries = ["tloopCount", "tloop 1 0", "tloop 1 1", "triloopCount", "triloop 2 0", "triloop 2 1",
                   "hexaloopCount", "hexaloop 1 0", "hexaloop 1 1"]
        gggg_ac = tenths(20 - 560 - s.get("mismatch_hairpin", P[G, C] - 1, G, A))
        ugaaa = tenths(690 - 540 - 50)  # a triloop closed by U carries the terminal AU penalty
        hexa = tenths(280 - 540 - s.get("mismatch_hairpin", P[A, U] - 1, C, C))
        key = lambda seq: sum("ACGU".index(ch) * 5 ** p + 5 ** p for p, ch in enumerate(seq))
        self.assertEqual([int(v) for v in self.probe("dat", queries)],
                         [2, key("GGGGAC"), gggg_ac, 2, key("UGAAA"), ugaaa, 1, key("ACAGUACU"), hexa])
        dh_bonus = tenths(-1110 - 560 - s.get("mismatch_hairpin_enthalpies", P[G, C] - 1, G, A))
        self.assertEqual(self.probe("dh", ["tloop 1 1", "triloop 2 1"]),
                         [str(dh_bonus), str(tenths(1080 - 540 - 370))])

    def test_miscellaneous_records(self):
        names = ["asymmetryMax", "asymmetryPenalty 1", "asymmetryPenalty 4", "loopConst 5", "loopConst 6",
                 "loopConst 10", "mbEvalOffset", "mbEvalPerUnpaired", "mbEvalPerHelix", "terminalAuPenalty",
                 "intermolecularInit", "gggHairpinBonus", "polyCSlope", "polyCIntercept", "polyC3"]
        free = [int(v) for v in self.probe("dat", names)]
        self.assertEqual(free, [30, -3, -3, 34, 1, -4, 34, 1, -4, 5, 41, -22, 3, 16, 14])
        enthalpy = [int(v) for v in self.probe("dh", names)]
        self.assertEqual(enthalpy, [30, 2, 2, 3, 2, 5, 3, 2, 5, 37, 36, -22, 3, 16, 14])
        self.assertAlmostEqual(float(self.probe("dat", ["loopExtrapolation"])[0]), 10.79, places=4)


SHARED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "shared", "data", "turner1999")
PROJECT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


@unittest.skipUnless(os.path.isdir(SHARED), "the published parameter files are not beside the clone")
class ShippedSetTests(unittest.TestCase):
    """The committed sets are what the converter makes of the published files."""

    def check(self, source, folder, *options):
        with tempfile.TemporaryDirectory() as out:
            with contextlib.redirect_stdout(io.StringIO()), contextlib.redirect_stderr(io.StringIO()):
                self.assertEqual(pc.main([*options, os.path.join(SHARED, source), out]), 0)
            for name in sorted(os.listdir(out)):
                with open(os.path.join(out, name), "rb") as made, open(os.path.join(PROJECT, folder, name), "rb") as kept:
                    self.assertEqual(made.read(), kept.read(), f"{folder}/{name}")
            shipped = [n for n in os.listdir(os.path.join(PROJECT, folder)) if n.endswith((".dat", ".dh"))]
            self.assertEqual(sorted(shipped), sorted(os.listdir(out)))

    def test_turner1999(self):
        self.check("rna_turner1999.par", "dat")

    def test_turner2004(self):
        self.check("rna_turner2004.par", "dat/turner2004", "--rules", "turner2004", "--mirror-repair")


if __name__ == "__main__":
    unittest.main()
