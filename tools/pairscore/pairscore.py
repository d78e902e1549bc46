#!/usr/bin/env python3
"""Base-pair agreement between a predicted and a reference secondary structure.

Usage: pairscore.py PREDICTED.ct REFERENCE.ct

Both files are connectivity tables: optional leading '#' lines, a header line whose first
token is the length N, then N lines of six tokens (position, letter, previous, next, partner,
number). Only the first structure of each file is read.

Figures, for the pair sets P (predicted) and R (reference), each pair written (i, j), i < j:
  exact   a predicted pair is correct when the reference holds the very same pair.
  slip    a predicted pair (i, j) may stand for a reference pair (i-1, j), (i+1, j), (i, j-1),
          (i, j+1) or (i, j) itself. Predicted and reference pairs are matched one to one with
          the largest possible number of matches, so no reference pair is credited twice and no
          predicted pair counts twice; the number of matches is the true-positive count.
  sensitivity = TP / |R|, PPV = TP / |P|, F1 = 2 * sens * PPV / (sens + PPV).
Degenerate cases: a ratio whose denominator is 0 is 1 when both P and R are empty (the
structures agree) and 0 otherwise, so an empty prediction earns nothing; F1 is 0 when sens +
PPV is 0.
"""

import sys
from dataclasses import dataclass

CT_COLUMNS = 6
SLIP_OFFSETS = ((0, 0), (-1, 0), (1, 0), (0, -1), (0, 1))


class CtError(Exception):
    """A file that is not a well-formed connectivity table; the message names file and line."""


@dataclass(frozen=True)
class ctStructure:
    length: int
    letters: str  # one letter per position, position 1 first
    pairs: frozenset  # (i, j) with i < j, positions 1-based


@dataclass(frozen=True)
class agreement:
    sensitivity: float
    ppv: float
    f1: float
    matched: int


def readCt(path):
    """Reads the first structure of a CT file. Raises CtError (or OSError) on a bad file."""
    with open(path, encoding="utf-8", errors="replace") as stream:
        lines = stream.read().splitlines()
    row = 0
    while row < len(lines) and lines[row].startswith("#"):
        row += 1
    if row >= len(lines) or not lines[row].split():
        raise CtError(f"{path}: line {row + 1}: expected the header with the length, found "
                      f"{'the end of the file' if row >= len(lines) else 'an empty line'}")
    first = lines[row].split()[0]
    if not first.isdigit() or int(first) < 1:
        raise CtError(f"{path}: line {row + 1}: expected a positive length, found '{first}'")
    length = int(first)
    partner = [0] * (length + 1)
    letters = []
    for i in range(1, length + 1):
        row += 1
        if row >= len(lines):
            raise CtError(f"{path}: line {row + 1}: expected the line of position {i}, "
                          f"found the end of the file")
        tokens = lines[row].split()
        if len(tokens) < CT_COLUMNS:
            raise CtError(f"{path}: line {row + 1}: expected {CT_COLUMNS} values, "
                          f"found {len(tokens)}")
        if tokens[0] != str(i):
            raise CtError(f"{path}: line {row + 1}: expected position {i}, found '{tokens[0]}'")
        try:
            mate = int(tokens[4])
        except ValueError:
            raise CtError(f"{path}: line {row + 1}: expected a partner number, "
                          f"found '{tokens[4]}'") from None
        if mate < 0 or mate > length or mate == i:
            raise CtError(f"{path}: line {row + 1}: expected a partner in 0..{length} other "
                          f"than {i}, found {mate}")
        partner[i] = mate
        letters.append(tokens[1][0])
    pairs = set()
    for i in range(1, length + 1):
        j = partner[i]
        if j and partner[j] != i:
            raise CtError(f"{path}: position {i} pairs with {j}, but {j} pairs with "
                          f"{partner[j]}")
        if j > i:
            pairs.add((i, j))
    return ctStructure(length, "".join(letters), frozenset(pairs))


def _ratio(hits, total, bothEmpty):
    if total == 0:
        return 1.0 if bothEmpty else 0.0
    return hits / total


def _figures(matched, predicted, reference):
    bothEmpty = not predicted and not reference
    sens = _ratio(matched, len(reference), bothEmpty)
    ppv = _ratio(matched, len(predicted), bothEmpty)
    f1 = 0.0 if sens + ppv == 0 else 2 * sens * ppv / (sens + ppv)
    return agreement(sens, ppv, f1, matched)


def exactAgreement(predicted, reference):
    return _figures(len(set(predicted) & set(reference)), predicted, reference)


def slipMatches(predicted, reference):
    """Size of a largest one-to-one matching of predicted to reference pairs, where a predicted
    pair may match a reference pair that is equal or has one end moved by one position."""
    reference = set(reference)
    options = {}
    for (i, j) in predicted:
        options[(i, j)] = [(i + di, j + dj) for (di, dj) in SLIP_OFFSETS
                           if (i + di, j + dj) in reference]
    owner = {}  # reference pair -> predicted pair it is credited to

    # Augmenting paths (Kuhn), walked with an explicit stack so long helices cannot exhaust
    # Python's recursion limit.
    def place(start):
        seen = set()
        stack = [(start, iter(options[start]))]
        route = []  # (predicted pair, reference pair it hands over to the next level)
        while stack:
            pair, choices = stack[-1]
            for target in choices:
                if target in seen:
                    continue
                seen.add(target)
                if target not in owner:
                    owner[target] = pair
                    for (holder, taken) in route:
                        owner[taken] = holder
                    return True
                route.append((pair, target))
                stack.append((owner[target], iter(options[owner[target]])))
                break
            else:
                stack.pop()
                if route:
                    route.pop()
        return False

    # Exact matches first keeps the search short; the final count is maximal either way.
    for pair in sorted(predicted, key=lambda p: (p not in reference, p)):
        place(pair)
    return len(owner)


def slipAgreement(predicted, reference):
    return _figures(slipMatches(predicted, reference), predicted, reference)


def sameMolecule(predicted, reference):
    """None when both tables describe the same sequence, else a sentence saying how they differ.
    Letters compare case-blind with T read as U."""
    if predicted.length != reference.length:
        return f"lengths differ: {predicted.length} against {reference.length}"

    def norm(c):
        c = c.upper()
        return "U" if c == "T" else c

    for i, (a, b) in enumerate(zip(predicted.letters, reference.letters), start=1):
        if norm(a) != norm(b):
            return f"position {i} is {a} in one and {b} in the other"
    return None


def main(argv):
    if len(argv) != 3:
        print("usage: pairscore.py PREDICTED.ct REFERENCE.ct", file=sys.stderr)
        return 2
    try:
        predicted = readCt(argv[1])
        reference = readCt(argv[2])
    except (CtError, OSError) as error:
        print(f"pairscore: {error}", file=sys.stderr)
        return 1
    difference = sameMolecule(predicted, reference)
    if difference:
        print(f"pairscore: {argv[1]} and {argv[2]} are not the same molecule: {difference}",
              file=sys.stderr)
        return 1
    print(f"pairs  predicted {len(predicted.pairs)}  reference {len(reference.pairs)}")
    for label, figures in (("exact", exactAgreement(predicted.pairs, reference.pairs)),
                           ("slip", slipAgreement(predicted.pairs, reference.pairs))):
        print(f"{label:<6} sensitivity {figures.sensitivity:.3f}  ppv {figures.ppv:.3f}  "
              f"f1 {figures.f1:.3f}  matched {figures.matched}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
