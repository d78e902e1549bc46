"""The Python module against the programs it stands for: korvane-fold and korvane-eval.

Run by ctest (python_module) with PYTHONPATH at the built module, KORVANE_FOLD and
KORVANE_EVAL at the built programs and KORVANE_SOURCE_DIR at the project.
"""

import os
import random
import subprocess
import sys
import threading

import pytest

korvane = pytest.importorskip("korvane")

FOLD = os.environ.get("KORVANE_FOLD", "")
EVAL = os.environ.get("KORVANE_EVAL", "")
SOURCE = os.environ.get("KORVANE_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
needs_fold = pytest.mark.skipif(not FOLD, reason="korvane-fold is not built (CLI11 missing)")
needs_eval = pytest.mark.skipif(not EVAL, reason="korvane-eval path not given")

TRNA = "GCGGAUUUAGCUCAGUUGGGAGAGCGCCAGACUGAAGAUCUGGAGGUCCUGUGUUCGAUCCACAGAAUUCGCACCA"


def random_sequences(count, low, high, seed):
    rng = random.Random(seed)
    return ["".join(rng.choice("ACGU") for _ in range(rng.randint(low, high))) for _ in range(count)]


# Sequences with stems, lower case and T, X and N, and one in which nothing pairs.
SAMPLES = [
    ("hairpin", "GGGGAAAACCCC"),
    ("trna", TRNA),
    ("mixed", "ggcgTTaacgccNNggaucXcgaucc"),
    ("open", "AAAAAAAAAA"),
] + [("r%d" % k, s) for k, s in enumerate(random_sequences(6, 40, 160, seed=17))]


def run_fold(records, *options):
    """korvane-fold's (structure, energy, stems, passes) per record."""
    fasta = "".join(">%s\n%s\n" % record for record in records)
    done = subprocess.run([FOLD, "-q", "--stats", *options], input=fasta, capture_output=True, text=True,
                          check=True)
    lines = done.stdout.splitlines()
    stats = [line.split("\t") for line in done.stderr.splitlines() if line.startswith("korvane-fold: stats")]
    out = []
    for k in range(len(records)):
        brackets, energy = lines[3 * k + 2].split(" ", 1)
        out.append((brackets, float(energy.strip("() ")), int(stats[k][3]), int(stats[k][4])))
    return out


# ---- folding: the same as korvane-fold


@needs_fold
@pytest.mark.parametrize("temperature,algorithm", [(37.0, "greedy"), (24.5, "greedy"), (37.0, "mfe")])
def test_fold_equals_korvane_fold(temperature, algorithm):
    expected = run_fold(SAMPLES, "-T", str(temperature), "--algorithm", algorithm)
    for (title, sequence), (brackets, energy, stems, passes) in zip(SAMPLES, expected):
        result = korvane.fold(sequence, temperature=temperature, title=title, algorithm=algorithm)
        assert (result.structure, "%.2f" % result.energy) == (brackets, "%.2f" % energy), title
        assert (result.stems, result.passes) == (stems, passes), title
        assert (result.title, result.sequence) == (title, sequence)


def test_pairs_agree_with_the_structure():
    for _, sequence in SAMPLES:
        result = korvane.fold(sequence)
        opened = [i for i, c in enumerate(result.structure, 1) if c == "("]
        closed = [j for j, c in enumerate(result.structure, 1) if c == ")"]
        assert sorted(i for i, _ in result.pairs) == opened
        assert sorted(j for _, j in result.pairs) == closed
        assert all(i < j for i, j in result.pairs)
    assert korvane.fold("AAAAAAAAAA").pairs == []
    assert korvane.fold("AAAAAAAAAA").energy == 0.0


def test_fold_many_equals_fold_in_input_order():
    sequences = random_sequences(40, 20, 300, seed=5)
    one_by_one = [korvane.fold(s) for s in sequences]
    for jobs in (1, 3, 64):
        assert korvane.fold_many(sequences, jobs=jobs) == one_by_one
    titled = korvane.fold_many([("a", TRNA), "GGGGAAAACCCC"], jobs=2, temperature=50.0)
    assert [r.title for r in titled] == ["a", ""]
    assert titled[0] == korvane.fold(TRNA, temperature=50.0, title="a")
    assert korvane.fold_many([], jobs=4) == []


@pytest.mark.parametrize("call", ["fold", "fold_many"])
def test_folds_release_the_interpreter_lock(call):
    # With a switch interval longer than the test, a thread holding the lock keeps it; the main
    # thread then runs during the fold only if the fold let go of it.
    sequence = random_sequences(1, 6000, 6000, seed=9)[0]
    started = threading.Event()
    finished = threading.Event()

    def fold():
        started.set()
        if call == "fold":
            korvane.fold(sequence)
        else:
            korvane.fold_many([sequence], jobs=2)
        finished.set()

    interval = sys.getswitchinterval()
    sys.setswitchinterval(1000.0)
    try:
        worker = threading.Thread(target=fold)
        worker.start()
        started.wait()
        steps_during_fold = 0
        while not finished.wait(0.001):
            steps_during_fold += 1
        worker.join()
    finally:
        sys.setswitchinterval(interval)
    assert steps_during_fold > 0


# ---- energy: the same as korvane-eval


@needs_eval
def test_energy_equals_korvane_eval(tmp_path):
    structures = [
        ("hairpin", "GGGGAAAACCCC", "((((....))))"),
        ("bulge", "GGGAGCAAAAGCUCCC", "(((.((....)).)))"),
        ("multiloop", "GGGAGGAAACCUAGGAAACCUCCC", "(((.((...))..((...)).)))"),
        ("interior", "GGGAAGCGAAAGCAACCC", "(((..((....))..)))"),
        ("open", "ACGUACGU", "........"),
    ]
    structures += [(title, sequence, korvane.fold(sequence).structure) for title, sequence in SAMPLES]
    path = tmp_path / "structures.dp"
    path.write_text("".join(">%s\n%s\n%s\n" % s for s in structures))
    done = subprocess.run([EVAL, "--dat", os.path.join(SOURCE, "dat"), str(path)], capture_output=True, text=True,
                          check=True)
    expected = [line.split("\t") for line in done.stdout.splitlines()]
    assert [title for title, _ in expected] == [s[0] for s in structures]
    for (title, sequence, brackets), (_, energy) in zip(structures, expected):
        assert "%.1f" % korvane.energy(sequence, brackets) == energy, title


def test_energy_of_a_fold_is_its_energy():
    for _, sequence in SAMPLES:
        result = korvane.fold(sequence, temperature=30.0)
        assert korvane.energy(sequence, result.structure, temperature=30.0) == pytest.approx(result.energy)


# ---- CT files


def test_ct_round_trip(tmp_path):
    path = str(tmp_path / "hairpin.ct")
    korvane.write_ct(path, "GGGGAAAACCCC", "((((....))))", title="a hairpin", energy=-5.4)
    assert korvane.read_ct(path) == ("a hairpin", "GGGGAAAACCCC", [(1, 12), (2, 11), (3, 10), (4, 9)])
    # Crossing pairs in any order, letters as given.
    crossing = [(8, 14), (1, 6), (2, 5), (7, 13)]
    korvane.write_ct(path, "gggaccuuuuggucaa", crossing)
    assert korvane.read_ct(path) == ("", "gggaccuuuuggucaa", sorted(crossing))


@needs_fold
def test_write_ct_equals_korvane_fold_ct(tmp_path):
    subprocess.run([FOLD, "-q", "--ct", str(tmp_path)], input=">trna\n%s\n" % TRNA, text=True, check=True)
    result = korvane.fold(TRNA)
    path = str(tmp_path / "mine.ct")
    korvane.write_ct(path, TRNA, result.pairs, title="trna", energy=result.energy)
    with open(path, "rb") as mine, open(tmp_path / "trna.ct", "rb") as theirs:
        assert mine.read() == theirs.read()
    assert korvane.read_ct(path) == ("trna", TRNA, result.pairs)


# ---- errors


def test_bad_sequences_raise_value_error():
    with pytest.raises(ValueError, match="position 4: 'Z' is not a sequence letter"):
        korvane.fold("GGGZAAACCC")
    with pytest.raises(ValueError, match="empty"):
        korvane.fold("")
    with pytest.raises(ValueError, match="^sequence 2: position 1: 'B'"):
        korvane.fold_many(["GGGGAAAACCCC", "BBB"])
    with pytest.raises(TypeError, match="sequence 1"):
        korvane.fold_many([42])
    with pytest.raises(ValueError, match="jobs"):
        korvane.fold_many(["GGGGAAAACCCC"], jobs=0)


@needs_fold
def test_learned_set_folds_as_korvane_fold_and_only_at_37_degrees():
    expected = run_fold(SAMPLES, "--algorithm", "mfe", "--params", "learned")
    for (title, sequence), (brackets, energy, _, _) in zip(SAMPLES, expected):
        result = korvane.fold(sequence, algorithm="mfe", params="learned")
        assert (result.structure, "%.2f" % result.energy) == (brackets, "%.2f" % energy), title
        assert korvane.energy(sequence, brackets, model="mfe", params="learned") == pytest.approx(energy), title
    assert korvane.fold(TRNA, algorithm="mfe", params="learned").energy != korvane.fold(
        TRNA, algorithm="mfe", params="turner2004").energy
    with pytest.raises(ValueError, match="defined at 37 C only"):
        korvane.fold(TRNA, algorithm="mfe", params="learned", temperature=25.0)


def test_bad_names_raise_value_error():
    with pytest.raises(ValueError, match="unknown algorithm 'fast'"):
        korvane.fold("GGGGAAAACCCC", algorithm="fast")
    with pytest.raises(ValueError, match="no parameter set or folder named 'turner2099'"):
        korvane.fold("GGGGAAAACCCC", params="turner2099")
    with pytest.raises(ValueError, match="temperature"):
        korvane.fold("GGGGAAAACCCC", temperature=200.0)
    with pytest.raises(ValueError, match="unknown energy model 'nearest'.*full"):
        korvane.energy("GGGGAAAACCCC", "((((....))))", model="nearest")


@needs_fold
def test_bpp_equals_korvane_folds_table(tmp_path):
    sequence = "GGGGAAAACCCCAUGGGAAACCCAU"
    matrix = korvane.bpp(sequence)
    n = len(sequence)
    assert matrix.shape == (n + 1, n + 1)
    assert (matrix == matrix.T).all()
    assert not matrix[0].any()
    assert (matrix.sum(axis=0)[1:] <= 1.0 + 1e-9).all()
    subprocess.run([FOLD, "-q", "--bpp", str(tmp_path)], input=">s\n%s\n" % sequence, text=True, check=True)
    listed = {}
    for line in (tmp_path / "s.bpp").read_text().splitlines():
        if line.startswith("# unpaired"):
            break
        if not line.startswith("#"):
            i, j, p = line.split()
            listed[(int(i), int(j))] = float(p)
    assert listed
    for (i, j), p in listed.items():
        assert abs(matrix[i, j] - p) <= 5e-7, (i, j)
    assert all(matrix[i, j] < 1e-5 for i in range(1, n + 1) for j in range(i + 1, n + 1) if (i, j) not in listed)


def test_bad_structures_raise_value_error():
    cases = [
        ("GGGGAAAACCCC", "((((....)))", "the structure has 11 characters, the sequence 12"),
        ("GGGGAAAACCCC", "(((.....))))", r"'\)' at position 12 has no matching '\('"),
        ("GGGGAAAACCCC", "((((....))).", r"'\(' at position 1 is never closed"),
        ("GGGGAAAACCCC", "((((..x.))))", "unexpected character 'x' at position 7"),
        ("GGGGAAAACCCC", "[[[[....]]]]", "unexpected character '\\[' at position 1"),
        ("GGGGAAAACCCC", "", "the structure is empty"),
        ("GGGGAAAAACCC", "((((....))))", r"pair 4-9 \(G-A\) is not a canonical pair"),
        ("GGGGAACCCC", "((((..))))", "closes a hairpin of fewer than three"),
        ("GGGG\nAAAACCCC", "((((....))))", "line break"),
    ]
    for sequence, brackets, message in cases:
        with pytest.raises(ValueError, match=message):
            korvane.energy(sequence, brackets)
    with pytest.raises(ValueError, match="is never closed"):
        korvane.write_ct("unused.ct", "GGGGAAAACCCC", "((((....))).")


def test_bad_pairs_raise_value_error(tmp_path):
    path = str(tmp_path / "x.ct")
    for pairs, message in [([(0, 5)], "positions run from 1 to 12"), ([(3, 13)], "positions run from 1 to 12"),
                           ([(4, 4)], "itself"), ([(1, 12), (12, 5)], "position 12 is already paired")]:
        with pytest.raises(ValueError, match=message):
            korvane.write_ct(path, "GGGGAAAACCCC", pairs)
    with pytest.raises(TypeError, match="list of"):
        korvane.write_ct(path, "GGGGAAAACCCC", [(1, "x")])
    assert not os.path.exists(path)


def test_unreadable_and_unwritable_files_raise_os_error(tmp_path):
    with pytest.raises(FileNotFoundError):
        korvane.read_ct(str(tmp_path / "missing.ct"))
    with pytest.raises(OSError, match="cannot read the CT file"):
        korvane.read_ct(str(tmp_path))
    with pytest.raises(OSError, match="cannot write the CT file"):
        korvane.write_ct(str(tmp_path / "no" / "such" / "folder.ct"), "GGGGAAAACCCC", "((((....))))")
    not_ct = tmp_path / "notes.txt"
    not_ct.write_text("these are notes\n")
    with pytest.raises(ValueError, match="no complete CT structure"):
        korvane.read_ct(str(not_ct))
