"""RNA secondary structure prediction with korvane's engine.

    >>> import korvane
    >>> result = korvane.fold("GGGGAAAACCCC")
    >>> result.structure, result.energy

Functions: fold, fold_many, energy, bpp, read_ct, write_ct, parameter_sets.
Bad letters, bad brackets and unknown names raise ValueError; unreadable or unwritable files
raise OSError; what the engine cannot do in this build raises NotImplementedError.
"""

from ._korvane import (
    FoldResult,
    __version__,
    bpp,
    energy,
    fold,
    fold_many,
    parameter_sets,
    read_ct,
    write_ct,
)

__all__ = [
    "FoldResult",
    "bpp",
    "energy",
    "fold",
    "fold_many",
    "parameter_sets",
    "read_ct",
    "write_ct",
]
