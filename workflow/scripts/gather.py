"""Joins the shards' results, in input order, into the workflow's three result files.

Run inside Snakemake (a local rule): the shard lists can be longer than a command line holds.
"""

import os
import shutil

TABLE_HEADER = "id\tlength\tenergy\tstructure\talgorithm\n"
SKIPPED_HEADER = "file\trecord\treason\n"


def concatenate(parts, path, header=""):
    # Written beside the result and renamed, so that a killed run leaves no partial result.
    part = path + ".part"
    with open(part, "wb") as out:
        out.write(header.encode())
        for name in parts:
            with open(name, "rb") as piece:
                shutil.copyfileobj(piece, out)
    os.replace(part, path)


def gather(structures, tables, skipped, outputs):
    """Joins the per-shard files (lists in input order) into outputs' structures, table, skipped."""
    concatenate(structures, outputs["structures"])
    concatenate(tables, outputs["table"], TABLE_HEADER)
    concatenate(skipped, outputs["skipped"], SKIPPED_HEADER)
