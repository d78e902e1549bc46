"""Joins the shards' results, in input order, into the workflow's three result files."""

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


if "snakemake" in globals():
    sm = snakemake  # noqa: F821
    concatenate(sm.input.structures, sm.output.structures)
    concatenate(sm.input.tables, sm.output.table, TABLE_HEADER)
    concatenate(sm.input.skipped, sm.output.skipped, SKIPPED_HEADER)
