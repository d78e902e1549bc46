#!/usr/bin/env python3
"""paramconv: converts a nearest-neighbour parameter file in the RNAfold v2.0 text format
into the nineteen free-energy files (.dat) and their nineteen enthalpy twins (.dh) that
korvane loads.

Usage: paramconv.py SOURCE.par OUTPUT_DIR

Where each cell comes from is written down in dat/README.md. Every value is converted from
dcal/mol to tenths of kcal/mol by floor((v + 5) / 10) and written with exactly one decimal.
"""

import argparse
import os
import re
import sys
from itertools import product

BASES = "ACGU"  # base codes 1..4
BASE_CODE = {letter: code for code, letter in enumerate(BASES, start=1)}
# Pair index of the source format for the pair (x, y), x 5' of y, in base codes.
SOURCE_PAIR = {(2, 3): 1, (3, 2): 2, (3, 4): 3, (4, 3): 4, (1, 4): 5, (4, 1): 6}
SOURCE_PAIR_LETTERS = ["CG", "GC", "GU", "UG", "AU", "UA", "@"]  # by index - 1
# Order of the blocks and column groups of the int11, int21 and int22 files.
PAIR_ORDER = [(1, 4), (2, 3), (3, 2), (4, 1), (3, 4), (4, 3)]

FILE_HEADING = "## RNAfold parameter file v2.0"
INFINITE_NUMBER = "1400.0"  # where the layout reads a number, "." would load as 0
COAXSTACK_DEFAULT = -21  # discontinuous-backbone coaxial stack, tenths (see dat/README.md)
MAX_SPECIAL_HAIRPINS = 200  # the loader keeps no more

# Hairpin rule values that a source file in this format does not carry, in tenths of
# kcal/mol, by the Turner set they belong to (NNDB hairpin pages; see dat/README.md).
RULES = {
    "turner1999": {"gggHairpinBonus": -22, "polyCSlope": 3, "polyCIntercept": 16, "polyC3": 14},
    "turner2004": {"gggHairpinBonus": -22, "polyCSlope": 3, "polyCIntercept": 16, "polyC3": 15},
}
DEFAULT_RULES = "turner1999"
# Enthalpies used when the source gives 0 ("not measured"): Xia et al. 1998.
TERMINAL_AU_ENTHALPY = 37
DUPLEX_INIT_ENTHALPY = 36
DEFAULT_LXC = 107.856  # 1.75 RT at 37 C in dcal/mol, for files whose Misc has no LXC

TABLE_SHAPES = {
    "stack": (7, 7),
    "mismatch_hairpin": (7, 5, 5),
    "mismatch_internal": (7, 5, 5),
    "mismatch_internal_1n": (7, 5, 5),
    "mismatch_internal_23": (7, 5, 5),
    "mismatch_multi": (7, 5, 5),
    "mismatch_exterior": (7, 5, 5),
    "dangle5": (7, 5),
    "dangle3": (7, 5),
    "int11": (7, 7, 5, 5),
    "int21": (7, 7, 5, 5, 5),
    "int22": (6, 6, 4, 4, 4, 4),
    "hairpin": (31,),
    "bulge": (31,),
    "internal": (31,),
}
# Special-hairpin sections: sequence length and target list name.
SPECIAL_SECTIONS = {"Triloops": (5, "triloop"), "Tetraloops": (6, "tloop"), "Hexaloops": (8, "hexaloop")}

FILE_NAMES = ["loop", "stack", "tstackh", "tstacki", "tloop", "miscloop", "dangle", "int22",
              "int21", "coaxial", "tstackcoax", "coaxstack", "tstack", "tstackm", "triloop",
              "int11", "hexaloop", "tstacki23", "tstacki1n"]

INTEGER = re.compile(r"[+-]?\d+\Z")
DECIMAL = re.compile(r"[+-]?(\d+(\.\d*)?|\.\d+)\Z")
BLOCK_LABEL = re.compile(r"([ACGU]{2}|@)\.([ACGU@]*)\.\.([ACGU]{2}|@)\Z")
# Row labels such as "CG,A" or "CG,GC,N,U": the indices of the row's first value but the last.
ROW_LABEL = re.compile(r"[A-Z@]{1,2}(,[A-Z@]{1,2})*\Z")
PAIR_NAMES = [{name} for name in SOURCE_PAIR_LETTERS[:6]] + [{"@", "NN", "NS"}]
BASE_NAMES = [{"@", "N", "E"}, {"A"}, {"C"}, {"G"}, {"U"}]
# Tables the model requires symmetric, with the mirror of an index: a step reads the same from
# either of its pairs.
MIRRORED = {"stack": lambda index: (index[1], index[0])}


class ConversionError(Exception):
    """A source file that cannot be converted; the message names the place."""

    def __init__(self, source, section, line, message):
        where = source if line is None else f"{source}: line {line}"
        if section:
            where += f" (section {section})"
        super().__init__(f"{where}: {message}")


class Section:
    def __init__(self, name, line):
        self.name = name
        self.line = line
        self.values = []  # (token, line)
        self.rows = []  # (line, tokens) of every line holding values
        self.labels = []  # (number of values before the comment, comment text, line)


def _split_comments(text, source, line):
    body, comments, start = [], [], 0
    while True:
        opening = text.find("/*", start)
        if opening < 0:
            body.append(text[start:])
            return " ".join(body), comments
        closing = text.find("*/", opening + 2)
        if closing < 0:
            raise ConversionError(source, None, line, "comment '/*' is not closed on its line")
        body.append(text[start:opening])
        comments.append(text[opening + 2:closing])
        start = closing + 2


def parse_source(text, source="<input>"):
    """Splits the file into its sections; returns {name: Section}."""
    sections = {}
    current = None
    seen_heading = False
    for number, raw in enumerate(text.splitlines(), start=1):
        body, comments = _split_comments(raw, source, number)
        stripped = body.strip()
        if not seen_heading:
            if not stripped and not comments:
                continue
            if stripped != FILE_HEADING:
                raise ConversionError(source, None, number,
                                      f"expected the heading '{FILE_HEADING}', found '{raw.strip()}'")
            seen_heading = True
            continue
        if stripped.startswith("#"):
            name = stripped.lstrip("#").strip()
            if name == "END":
                break
            if not name:
                raise ConversionError(source, None, number, "section heading without a name")
            if name in sections:
                raise ConversionError(source, name, number,
                                      f"section repeated (first at line {sections[name].line})")
            current = Section(name, number)
            sections[name] = current
            continue
        tokens = stripped.split()
        if current is None:
            if tokens:
                raise ConversionError(source, None, number,
                                      f"value '{tokens[0]}' before the first section")
            continue
        for comment in comments:
            current.labels.append((len(current.values), comment, number))
        if tokens:
            current.values.extend((token, number) for token in tokens)
            current.rows.append((number, tokens))
    if not seen_heading:
        raise ConversionError(source, None, 1, f"empty file, expected the heading '{FILE_HEADING}'")
    return sections


class Grid:
    """A source table read in file order, last index fastest; indices are 0-based."""

    def __init__(self, values, shape, lines=None):
        self.values = values
        self.shape = shape
        self.lines = lines  # source line of each value
        self.strides = []
        stride = 1
        for size in reversed(shape):
            self.strides.insert(0, stride)
            stride *= size

    def position(self, index):
        return sum(i * s for i, s in zip(index, self.strides))

    def index(self, position):
        return _index_of(position, self.shape)

    def __getitem__(self, index):
        if not isinstance(index, tuple):
            index = (index,)
        return self.values[self.position(index)]


def _section(sections, name, source):
    if name not in sections:
        raise ConversionError(source, name, None, "section missing")
    return sections[name]


def _count_check(section, count, source):
    found = len(section.values)
    if found < count:
        last = section.values[-1][1] if section.values else section.line
        raise ConversionError(source, section.name, last, f"expected {count} values, found {found}")
    if found > count:
        raise ConversionError(source, section.name, section.values[count][1],
                              f"expected {count} values, found {found}")


def _integer(token, line, section, source):
    if token == "INF":
        return None
    if not INTEGER.match(token):
        raise ConversionError(source, section, line, f"expected an integer or INF, found '{token}'")
    return int(token)


def _block_label(name, block):
    """Label of block number `block` of an int section, as the source writes it."""
    pair = lambda index: SOURCE_PAIR_LETTERS[index]
    base = lambda index: "@ACGU"[index]
    if name.startswith("int11"):
        return f"{pair(block // 7)}..{pair(block % 7)}"
    if name.startswith("int21"):
        return f"{pair(block // 35)}.{base(block % 5)}..{pair(block // 5 % 7)}"
    w, x = block // 4 % 4, block % 4
    return f"{pair(block // 96)}.{BASES[w]}{BASES[x]}..{pair(block // 16 % 6)}"


def _check_block_labels(section, block_size, source):
    # Labels such as "CG.A..GC" open the blocks of the int sections; a misplaced one means
    # values are missing or doubled inside an earlier block.
    for position, text, line in section.labels:
        label = "".join(text.split())
        if not BLOCK_LABEL.match(label):
            continue
        expected = _block_label(section.name, position // block_size)
        if position % block_size:
            raise ConversionError(source, section.name, line,
                                  f"block label {label} inside block {expected}")
        if label != expected:
            raise ConversionError(source, section.name, line,
                                  f"block label {label} where block {expected} begins")


def _index_of(position, shape):
    index = []
    for size in reversed(shape):
        index.insert(0, position % size)
        position //= size
    return tuple(index)


def _check_row_labels(section, shape, source):
    # The newer files name every row ("CG,GC,A"); a label that names another row means values
    # are missing or doubled above it.
    names = [PAIR_NAMES if size in (6, 7) else BASE_NAMES[size == 4:] for size in shape]  # int22 bases start at A
    for position, text, line in section.labels:
        label = "".join(text.split())
        parts = label.split(",")
        if not ROW_LABEL.match(label) or len(parts) >= len(shape):
            continue
        if not all(any(part in known for known in names[k]) for k, part in enumerate(parts)):
            continue  # not a row label, e.g. a column heading
        index = _index_of(position, shape)
        expected = ",".join(sorted(names[k][i])[-1] for k, i in enumerate(index[:len(parts)]))
        if position % shape[-1]:
            raise ConversionError(source, section.name, line, f"row label {label} inside row {expected}")
        if not all(part in names[k][i] for k, (part, i) in enumerate(zip(parts, index))):
            raise ConversionError(source, section.name, line, f"row label {label} where row {expected} begins")


def _mend_from_mirror(grid, malformed, name, mirror, source, notes):
    """Takes each malformed cell from its mirror cell, provided every other cell equals its
    mirror; raises the malformed cell's error otherwise."""
    for position, (token, line) in sorted(malformed.items()):
        message = f"expected an integer or INF, found '{token}'"
        twin = grid.position(mirror(grid.index(position)))
        if twin in malformed:
            raise ConversionError(source, name, line, message + "; its mirror cell is no number either")
        for k in range(len(grid.values)):
            other = grid.position(mirror(grid.index(k)))
            if k not in malformed and other not in malformed and grid.values[k] != grid.values[other]:
                raise ConversionError(source, name, line, message + "; the table is not symmetric (line "
                                      f"{grid.lines[k]} against line {grid.lines[other]}), so no cell can"
                                      " stand in for it")
        grid.values[position] = grid.values[twin]
        notes.append(f"{source}: line {line} (section {name}): '{token}' is not a number;"
                     f" took {grid.values[twin]} from its mirror cell on line {grid.lines[twin]}")


def read_table(sections, name, source, mend=False, notes=None):
    section = _section(sections, name, source)
    base = name.replace("_enthalpies", "")
    shape = TABLE_SHAPES[base]
    count = 1
    for size in shape:
        count *= size
    if base in ("int11", "int21", "int22"):
        _check_block_labels(section, shape[-1] * shape[-2], source)
    _check_row_labels(section, shape, source)
    _count_check(section, count, source)
    values, malformed = [], {}
    for position, (token, line) in enumerate(section.values):
        try:
            values.append(_integer(token, line, name, source))
        except ConversionError:
            if not (mend and base in MIRRORED):
                raise
            values.append(None)
            malformed[position] = (token, line)
    grid = Grid(values, shape, [line for _, line in section.values])
    if malformed:
        _mend_from_mirror(grid, malformed, name, MIRRORED[base], source, notes if notes is not None else [])
    return grid


def read_scalars(sections, name, counts, source, decimal=False):
    section = _section(sections, name, source)
    if len(section.values) not in counts:
        line = section.values[-1][1] if section.values else section.line
        wanted = " or ".join(str(c) for c in counts)
        raise ConversionError(source, name, line,
                              f"expected {wanted} values, found {len(section.values)}")
    result = []
    for token, line in section.values:
        if decimal and DECIMAL.match(token) and not INTEGER.match(token):
            result.append(float(token))
        else:
            value = _integer(token, line, name, source)
            if value is None:
                raise ConversionError(source, name, line, "INF is not allowed here")
            result.append(value)
    return result


def read_special(sections, name, source):
    """[(sequence, dG, dH, line)] of a special-hairpin section; absent means empty."""
    if name not in sections:
        return []
    length = SPECIAL_SECTIONS[name][0]
    entries = []
    for line, tokens in sections[name].rows:
        if len(tokens) != 3:
            raise ConversionError(source, name, line,
                                  f"expected a sequence and two values, found {len(tokens)} tokens")
        sequence = tokens[0].upper()
        if len(sequence) != length or any(letter not in BASES for letter in sequence):
            raise ConversionError(source, name, line,
                                  f"expected a sequence of {length} letters A, C, G, U, found '{tokens[0]}'")
        energy = _integer(tokens[1], line, name, source)
        enthalpy = _integer(tokens[2], line, name, source)
        if energy is None or enthalpy is None:
            raise ConversionError(source, name, line, "INF is not allowed here")
        entries.append((sequence, energy, enthalpy, line))
    if len(entries) > MAX_SPECIAL_HAIRPINS:
        raise ConversionError(source, name, entries[MAX_SPECIAL_HAIRPINS][3],
                              f"more than {MAX_SPECIAL_HAIRPINS} entries")
    return entries


# ---------------------------------------------------------------- values and formatting

def tenths(value):
    """dcal/mol to tenths of kcal/mol, half up; None (infinite) stays None."""
    return None if value is None else (value + 5) // 10


def one_decimal(t):
    sign = "-" if t < 0 else ""
    return f"{sign}{abs(t) // 10}.{abs(t) % 10}"


def entry_text(t):
    return "." if t is None else one_decimal(t)


def number_text(t):
    return INFINITE_NUMBER if t is None else one_decimal(t)


def truncated_text(t):
    # The reader keeps the integer part of v * 10 + 0.5, so a negative value is written one
    # tenth lower to land on t.
    return one_decimal(t if t >= 0 else t - 1)


def canonical(x, y):
    return (x, y) in SOURCE_PAIR


def pair_index(x, y):
    return SOURCE_PAIR[(x, y)] - 1


QUAD = list(product(range(1, 5), repeat=4))


# ---------------------------------------------------------------- target tables

class SourceSet:
    """The tables of one kind (free energies or enthalpies) of a source file."""

    def __init__(self, sections, suffix, source, mend=False, notes=None):
        self.tables = {name: read_table(sections, name + suffix, source, mend, notes) for name in TABLE_SHAPES}

    def __getattr__(self, name):
        try:
            return self.__dict__["tables"][name]
        except KeyError:
            raise AttributeError(name) from None


def mismatch_table(grid, transposed):
    table = {}
    for a, b, c, d in QUAD:
        if not canonical(a, b):
            table[a, b, c, d] = None
        elif transposed:  # the source indexes helix ends seen from outside: [P(b,a)][d][c]
            table[a, b, c, d] = tenths(grid[pair_index(b, a), d, c])
        else:
            table[a, b, c, d] = tenths(grid[pair_index(a, b), c, d])
    return table


def build_tables(src):
    """Every target table of one kind, cells in tenths (None = infinite)."""
    t = {}
    t["stack"] = {(a, b, c, d): tenths(src.stack[pair_index(a, b), pair_index(d, c)])
                  if canonical(a, b) and canonical(c, d) else None for a, b, c, d in QUAD}
    t["tstackh"] = mismatch_table(src.mismatch_hairpin, False)
    t["tstacki"] = mismatch_table(src.mismatch_internal, False)
    t["tstacki23"] = mismatch_table(src.mismatch_internal_23, False)
    t["tstacki1n"] = mismatch_table(src.mismatch_internal_1n, False)
    t["tstackm"] = mismatch_table(src.mismatch_multi, True)
    t["tstack"] = mismatch_table(src.mismatch_exterior, True)
    t["coaxial"] = t["stack"]  # written like stack; the reader transposes it
    coax = {}
    for a, b, c, d in QUAD:
        if canonical(a, b):
            coax[a, b, c, d] = t["tstack"][a, b, c, d]
        elif canonical(c, d):  # the same interaction seen from the other helix
            coax[a, b, c, d] = t["tstack"][d, c, b, a]
        else:
            coax[a, b, c, d] = None
    t["tstackcoax"] = coax
    t["coaxstack"] = {key: COAXSTACK_DEFAULT if canonical(key[0], key[1]) or canonical(key[2], key[3])
                      else None for key in QUAD}
    dangle = {}
    for a, b, c in product(range(1, 5), repeat=3):
        ok = canonical(a, b)
        dangle[a, b, c, 1] = tenths(src.dangle3[pair_index(b, a), c]) if ok else None
        dangle[a, b, c, 2] = tenths(src.dangle5[pair_index(b, a), c]) if ok else None
    t["dangle"] = dangle
    t["loop"] = {(kind, n): tenths(getattr(src, kind)[n])
                 for kind in ("internal", "bulge", "hairpin") for n in range(1, 31)}
    int11 = {}
    for (a, d), (c, f) in product(PAIR_ORDER, PAIR_ORDER):
        for b, e in product(range(1, 5), repeat=2):
            int11[a, b, c, d, e, f] = tenths(src.int11[pair_index(a, d), pair_index(f, c), b, e])
    t["int11"] = int11
    int21 = {}
    for (a, b), (f, g) in product(PAIR_ORDER, PAIR_ORDER):
        for c, d, e in product(range(1, 5), repeat=3):
            int21[a, b, c, d, e, f, g] = tenths(src.int21[pair_index(a, b), pair_index(g, f), c, e, d])
    t["int21"] = int21
    int22 = {}
    for (a, c), (b, d) in product(PAIR_ORDER, PAIR_ORDER):
        for e, f, g, h in QUAD:
            int22[a, b, c, d, e, f, g, h] = tenths(
                src.int22[pair_index(a, c), pair_index(d, b), e - 1, f - 1, h - 1, g - 1])
    t["int22"] = int22
    return t


def enthalpy_twin(free, enthalpy):
    """Enthalpy cells are infinite exactly where the free energies are; an infinite enthalpy
    under a finite free energy is written as 0 (no temperature dependence)."""
    twin = {}
    for name, cells in enthalpy.items():
        twin[name] = {key: None if free[name][key] is None else (0 if value is None else value)
                      for key, value in cells.items()}
    return twin


class Misc:
    """The scalar records, in tenths except the extrapolation coefficient (dcal/mol)."""

    def __init__(self, sections, source):
        m, m_dh, ninio_max = read_scalars(sections, "NINIO", (3,), source)
        cu, cu_dh, cc, cc_dh, ci, ci_dh = read_scalars(sections, "ML_params", (6,), source)
        misc = read_scalars(sections, "Misc", (4, 6), source, decimal=True)
        for index, (token, line) in enumerate(sections["Misc"].values[:4]):
            if isinstance(misc[index], float):
                raise ConversionError(source, "Misc", line, f"expected an integer, found '{token}'")
        duplex, duplex_dh, terminal_au, terminal_au_dh = misc[:4]
        self.lxc = misc[4] if len(misc) == 6 else DEFAULT_LXC
        self.free = {"asymmetryMax": tenths(ninio_max), "asymmetry": tenths(m),
                     "multibranch": (tenths(cc), tenths(cu), tenths(ci)),
                     "terminalAu": tenths(terminal_au), "intermolecularInit": tenths(duplex)}
        self.enthalpy = {"asymmetryMax": tenths(ninio_max), "asymmetry": tenths(m_dh),
                         "multibranch": (tenths(cc_dh), tenths(cu_dh), tenths(ci_dh)),
                         "terminalAu": tenths(terminal_au_dh) if terminal_au_dh else TERMINAL_AU_ENTHALPY,
                         "intermolecularInit": tenths(duplex_dh) if duplex_dh else DUPLEX_INIT_ENTHALPY}
        # dcal values, for recovering the triloop bonuses from their totals
        self.terminal_au_dcal = (terminal_au, terminal_au_dh if terminal_au_dh else TERMINAL_AU_ENTHALPY * 10)


def special_bonuses(entries, length, src, kind, misc, source, section):
    """Bonus in tenths for each listed hairpin: the listed total less the terms our
    evaluation adds itself (size term, plus the terminal mismatch or, for three unpaired
    nucleotides, the terminal AU penalty)."""
    result = []
    for sequence, energy, enthalpy, line in entries:
        total = energy if kind == 0 else enthalpy
        codes = [BASE_CODE[letter] for letter in sequence]
        first, last = codes[0], codes[-1]
        if not canonical(first, last):
            raise ConversionError(source, section, line,
                                  f"closing pair {sequence[0]}-{sequence[-1]} of {sequence} is not a canonical pair")
        size = src.hairpin[length - 2]
        if length == 5:
            extra = misc.terminal_au_dcal[kind] if 4 in (first, last) else 0
        else:
            extra = src.mismatch_hairpin[pair_index(first, last), codes[1], codes[-2]]
        if size is None or extra is None:
            raise ConversionError(source, section, line,
                                  f"{sequence}: the hairpin terms under its total are infinite")
        result.append((sequence, tenths(total - size - extra)))
    return result


# ---------------------------------------------------------------- file texts

def _words(text, count):
    """The text, checked to hold exactly count tokens (the reader skips headers by count)."""
    found = len(text.split())
    assert found == count, f"{found} tokens instead of {count} in: {text[:60]}"
    return text


KIND_WORDS = {".dat": "free energies", ".dh": "enthalpy changes"}  # two words each

# Titles of the common-layout files; each is nine tokens (five for stack and coaxial).
TITLES = {
    "stack": "stacking of two adjacent pairs",
    "coaxial": "flush coaxial stacking of helices",
    "tstackh": "terminal mismatch next to the closing pair of hairpins",
    "tstacki": "terminal mismatch next to the pairs of internal loops",
    "tstacki23": "terminal mismatch in internal loops of two by three",
    "tstacki1n": "terminal mismatch in internal loops with a one-nucleotide side",
    "tstackm": "terminal mismatch of a helix end in multibranch loops",
    "tstack": "terminal mismatch of helix ends next to a linker",
    "tstackcoax": "mismatch term of coaxial stacking across a single mismatch",
    "coaxstack": "stack term of coaxial stacking across a single mismatch",
}


def _source_word(source):
    return "".join(os.path.basename(source).split()) or "input"


def common_header(name, suffix, source):
    count = 42 if name in ("stack", "coaxial") else 46
    text = (f"{name}{suffix} : {TITLES[name]}\n"
            f"{KIND_WORDS[suffix]} in kcal/mol , converted from {_source_word(source)}\n"
            "blocks for the first base a = A C G U ;\n"
            "cell [a][b][c][d] : pair a-b , c 3' of a , d 5' of b\n")
    return _words(text, count)


def common_block_heading(a):
    a_ = BASES[a - 1]
    lines = [
        f"block a = {a_} ( {a} of 4 ) : rows c = A C G U ; sixteen columns , b slowest , d fastest ,"
        " labels give a b d",
        "".join(f"{'b = ' + b:>28}" for b in BASES),
        "  ".join(f"{a_ + b + d:>5}" for b in BASES for d in BASES),
    ]
    return _heading_lines(lines, 60, {})


def common_layout(name, table, suffix, source):
    parts = [common_header(name, suffix, source)]
    for a in range(1, 5):
        parts.append(common_block_heading(a))
        for c in range(1, 5):
            row = [entry_text(table[a, b, c, d]) for b in range(1, 5) for d in range(1, 5)]
            parts.append("  ".join(f"{v:>5}" for v in row) + "\n")
    return "".join(parts)


def dangle_file(table):
    parts = []
    for side, where in ((1, "3' of a"), (2, "5' of b")):
        for a in range(1, 5):
            text = (f"dangling nucleotide c {where} , side {side} , block a = {BASES[a - 1]} ;"
                    " values in kcal/mol ; rows b = A C G U , columns c = A C G U ;"
                    " cell [a][b][c] for the pair a-b seen from the loop ;\n"
                    "      " + " ".join(f"{BASES[a - 1]}{b}" for b in BASES) + "   columns:  "
                    + " ".join(BASES) + " ; one row per b\n")
            parts.append(_words(text, 60))
            for b in range(1, 5):
                parts.append("  ".join(f"{entry_text(table[a, b, c, side]):>5}" for c in range(1, 5)) + "\n")
    return "".join(parts)


def loop_file(table, suffix, source):
    header = (f"loop{suffix} : loop initiation {KIND_WORDS[suffix]} in kcal/mol by loop size ,"
              f" from {_source_word(source)} ; one row per size 1 to 30\n"
              "size   internal   bulge   hairpin\n")
    parts = [_words(header, 26)]
    for n in range(1, 31):
        parts.append(f"{n:>4}  " + "  ".join(f"{entry_text(table[kind, n]):>7}"
                                             for kind in ("internal", "bulge", "hairpin")) + "\n")
    return "".join(parts)


def _pair_words(pairs):
    return " ".join(f"{BASES[x - 1]}-{BASES[y - 1]}" for x, y in pairs)


def int11_file(table, suffix, source):
    header = (f"int11{suffix} : one by one internal loops , {KIND_WORDS[suffix]} in kcal/mol ,"
              f" converted from {_source_word(source)} ;\n"
              "six blocks , one per closing pair a-d in the order " + _pair_words(PAIR_ORDER) + " ;\n"
              "rows b = A C G U ; column groups c-f in the same order , columns e = A C G U\n")
    parts = [_words(header, 58)]
    for a, d in PAIR_ORDER:
        a_, d_ = BASES[a - 1], BASES[d - 1]
        lines = [
            f"one by one internal loops closed by {a_}-{d_} : the loop reads 5' {a_} b c 3' on top"
            f" and 3' {d_} e f 5' below ;",
            "rows b = A C G U ; 24 columns : groups c-f in the order " + _pair_words(PAIR_ORDER)
            + " , e = A C G U within each ; column labels give c-f and e :",
            "  " + " ".join(f"{BASES[c - 1]}-{BASES[f - 1]}" for c, f in PAIR_ORDER for _ in BASES),
            "  " + " ".join(f"{e:>3}" for _ in PAIR_ORDER for e in BASES),
        ]
        parts.append(_heading_lines(lines, 114, {}))
        for b in range(1, 5):
            row = [number_text(table[a, b, c, d, e, f]) for c, f in PAIR_ORDER for e in range(1, 5)]
            parts.append(" ".join(f"{v:>6}" for v in row) + "\n")
    return "".join(parts)


def _heading_lines(lines, count, positions):
    """Joins lines of tokens, checking the total and the letters at 1-based positions."""
    tokens = [token for line in lines for token in line.split()]
    assert len(tokens) == count, f"{len(tokens)} tokens instead of {count}: {lines[0][:50]}"
    for position, letter in positions.items():
        assert tokens[position - 1] == letter, (position, tokens[position - 1], letter)
    return "\n".join(lines) + "\n"


def int21_heading(a, b, e):
    a_, b_, e_ = BASES[a - 1], BASES[b - 1], BASES[e - 1]
    lines = [
        f"two by one internal loops closed by {a_}-{b_} , block with e = {e_} ; rows c = A C G U ;"
        " 24 columns : groups f-g in the order " + _pair_words(PAIR_ORDER) + " , d within each",
        "  " + " ".join(f"{BASES[f - 1]}{BASES[g - 1]}{d}" for f, g in PAIR_ORDER for d in BASES),
        f"  5' {a_} c f 3'   with e = {e_} in this block",
        f"  3' {b_} d e g 5'   ( pairs {a_}-{b_} and g-f seen from the loop , d 5' of {b_} and e 3' of g ) ;"
        " the column labels give the pair f-g and then d",
    ]
    # the reader takes a and b from heading positions 67 and 79
    return _heading_lines(lines, 114, {67: a_, 79: b_})


def int21_file(table, suffix, source):
    header = (f"int21{suffix} : two by one internal loops , {KIND_WORDS[suffix]} in kcal/mol ,"
              f" from {_source_word(source)} ;\n"
              "cell [a][b][c][d][e][f][g] : a-b closing pair with c 3' of a , g-f the other pair ,"
              " d 5' of b and e 3' of g ; 24 blocks , four per pair a-b , for e = A C G U\n")
    parts = [_words(header, 58)]
    for a, b in PAIR_ORDER:
        for e in range(1, 5):
            parts.append(int21_heading(a, b, e))
            for c in range(1, 5):
                row = [number_text(table[a, b, c, d, e, f, g]) for f, g in PAIR_ORDER for d in range(1, 5)]
                parts.append(" ".join(f"{v:>6}" for v in row) + "\n")
    return "".join(parts)


def int22_file(table, suffix, source):
    listing = []
    for block, ((a, c), (b, d)) in enumerate(product(PAIR_ORDER, PAIR_ORDER), start=1):
        listing.append(f"block {block} : outer {BASES[a - 1]}-{BASES[c - 1]} , inner {BASES[b - 1]}-{BASES[d - 1]}")
    header = (f"int22{suffix} : two by two internal loops , {KIND_WORDS[suffix]} in kcal/mol from {_source_word(source)} ;\n"
              "cell [a][b][c][d][e][f][g][h] : outer pair a-c , inner b-d ; rows e g , columns f h\n"
              "the loop reads 5' a e f b 3' over 3' c g h d 5' ; 36 blocks :\n"
              + "\n".join(listing) + "\n")
    parts = [_words(header, 340)]
    for (a, c), (b, d) in product(PAIR_ORDER, PAIR_ORDER):
        a_, b_, c_, d_ = (BASES[x - 1] for x in (a, b, c, d))
        lines = [
            f"two by two internal loops , outer pair {a_}-{c_} , inner pair {b_}-{d_} ;"
            " sixteen rows e g and sixteen columns f h , h fastest , bases A C G U ; the loop reads :",
            f"  5' {a_} e f {b_}",
            f"     {c_} g h {d_} 5'  bottom strand",
        ]
        # the reader takes a, b, c, d from heading positions 39, 42, 43 and 46
        parts.append(_heading_lines(lines, 49, {39: a_, 42: b_, 43: c_, 46: d_}))
        for e, g in product(range(1, 5), repeat=2):
            row = [number_text(table[a, b, c, d, e, f, g, h]) for f in range(1, 5) for h in range(1, 5)]
            parts.append(" ".join(f"{v:>6}" for v in row) + "\n")
    return "".join(parts)


def special_file(name, bonuses):
    parts = [_words(f"{name} sequence bonus\n", 3)]
    parts.extend(f"{sequence} {number_text(bonus)}\n" for sequence, bonus in bonuses)
    return "".join(parts)


def miscloop_file(misc, values, suffix, rules):
    # Words before each marker are skipped by the reader; none of them may be the marker.
    multibranch = " ".join(number_text(v) for v in values["multibranch"])
    records = [
        ("loop extrapolation coefficient for loops longer than 30 ( kcal/mol )", f"{misc.lxc / 100:.3f}"),
        ("internal loop asymmetry , maximum", truncated_text(values["asymmetryMax"])),
        ("internal loop asymmetry per nucleotide , loops with a smaller side of 1 2 3 4",
         " ".join([truncated_text(values["asymmetry"])] * 4)),
        ("multibranch loop : offset , per unpaired nucleotide , per helix", multibranch),
        ("multibranch loop for structure evaluation : offset , per unpaired , per helix", multibranch),
        ("not used ( sixth record )", "0.0"),
        ("not used ( seventh record )", "0.0"),
        ("terminal AU or GU penalty", number_text(values["terminalAu"])),
        ("GGG hairpin bonus ( G-U closure after two G )", number_text(rules["gggHairpinBonus"])),
        ("poly-C hairpin : slope per nucleotide", number_text(rules["polyCSlope"])),
        ("poly-C hairpin : intercept", number_text(rules["polyCIntercept"])),
        ("poly-C hairpin of three nucleotides", number_text(rules["polyC3"])),
        ("intermolecular initiation", number_text(values["intermolecularInit"])),
        ("single C bulge bonus ( not used )", "0.0"),
    ]
    lines = [f"miscloop{suffix} : miscellaneous {KIND_WORDS[suffix]} in kcal/mol ; each record follows its marker\n"]
    for words, numbers in records:
        assert "-->" not in words.split()
        lines.append(f"{words}\n--> {numbers}\n")
    return "".join(lines)


# ---------------------------------------------------------------- conversion

def convert(text, source="<input>", rules=DEFAULT_RULES, mend=False, notes=None):
    """Returns {file name: text} for the 38 output files; raises ConversionError. rules names
    the hairpin rule values (a key of RULES). With mend, a malformed cell of a symmetric table
    is taken from its mirror cell, and a line saying so is appended to notes."""
    sections = parse_source(text, source)
    free_src = SourceSet(sections, "", source, mend, notes)
    enthalpy_src = SourceSet(sections, "_enthalpies", source, mend, notes)
    misc = Misc(sections, source)
    free = build_tables(free_src)
    enthalpy = enthalpy_twin(free, build_tables(enthalpy_src))
    specials = {name: read_special(sections, name, source) for name in SPECIAL_SECTIONS}
    outputs = {}
    for suffix, tables, src, kind in ((".dat", free, free_src, 0), (".dh", enthalpy, enthalpy_src, 1)):
        files = {}
        for name in TITLES:
            files[name] = common_layout(name, tables[name], suffix, source)
        files["dangle"] = dangle_file(tables["dangle"])
        files["loop"] = loop_file(tables["loop"], suffix, source)
        files["int11"] = int11_file(tables["int11"], suffix, source)
        files["int21"] = int21_file(tables["int21"], suffix, source)
        files["int22"] = int22_file(tables["int22"], suffix, source)
        for section, (length, name) in SPECIAL_SECTIONS.items():
            bonuses = special_bonuses(specials[section], length, src, kind, misc, source, section)
            files[name] = special_file(name, bonuses)
        files["miscloop"] = miscloop_file(misc, misc.free if kind == 0 else misc.enthalpy, suffix, RULES[rules])
        assert sorted(files) == sorted(FILE_NAMES)
        for name, content in files.items():
            outputs[name + suffix] = content
    return outputs


def write_outputs(outputs, directory):
    os.makedirs(directory, exist_ok=True)
    for name in sorted(outputs):
        with open(os.path.join(directory, name), "w", encoding="ascii", newline="\n") as out:
            out.write(outputs[name])


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Convert an RNAfold v2.0 parameter file into korvane's .dat and .dh files.")
    parser.add_argument("source", help="parameter file (RNAfold parameter file v2.0)")
    parser.add_argument("output", help="folder for the 38 files (created if missing)")
    parser.add_argument("--rules", choices=sorted(RULES), default=DEFAULT_RULES,
                        help="Turner set whose hairpin rule values (not in the source format) are written"
                             f" (default {DEFAULT_RULES})")
    parser.add_argument("--mirror-repair", action="store_true",
                        help="take a stack cell that is not a number from its mirror cell, when every other"
                             " cell equals its mirror; each repair is reported")
    args = parser.parse_args(argv)
    notes = []
    try:
        with open(args.source, encoding="utf-8") as f:
            text = f.read()
        outputs = convert(text, args.source, args.rules, args.mirror_repair, notes)
        write_outputs(outputs, args.output)
    except (ConversionError, OSError, UnicodeDecodeError) as error:
        print(f"paramconv: {error}", file=sys.stderr)
        return 1
    for note in notes:
        print(f"paramconv: {note}", file=sys.stderr)
    print(f"paramconv: wrote {len(outputs)} files to {args.output}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
