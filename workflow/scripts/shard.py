"""Cuts one FASTA file (plain or gzip) into shards of a fixed number of records.

Records are cut only before their title lines and copied byte for byte, so that korvane-fold
reads each record of a shard exactly as it reads it in the whole file. A bare sequence line
before the first title is a record of its own to korvane-fold, titled seqN by its number; it
gets that title line written out, so that its title survives the cut. Beside each shard
SNNNNN.fa, SNNNNN.json gives the input path, the number in the input of the shard's first
record less one, and per record the amount to add to a line number of the shard to get the
line number in the input.
"""

import argparse
import gzip
import json
import os
import shutil
import sys

GZIP_MAGIC = b"\x1f\x8b"
BLANKS = b" \t\r\v\f"


def openInput(path):
    with open(path, "rb") as probe:
        magic = probe.read(len(GZIP_MAGIC))
    return gzip.open(path, "rb") if magic == GZIP_MAGIC else open(path, "rb")


def records(stream):
    """Yields (first input line number, lines of the record, bare); line numbers are 1-based."""
    current, start = None, 0
    titled = False
    for number, line in enumerate(stream, 1):
        if not line.endswith(b"\n"):
            line += b"\n"
        if line.startswith(b">"):
            if current is not None:
                yield start, current, False
            current, start, titled = [line], number, True
        elif titled:
            current.append(line)
        elif line.rstrip(b"\n").strip(BLANKS) and not line.startswith(b";"):
            yield number, [line], True
        # before the first title, blank and comment lines belong to no record
    if current is not None:
        yield start, current, False


def shardName(index):
    return f"s{index:05d}"


def writeShards(inputPath, folder, size):
    """Writes the shards into folder; returns the number of records."""
    os.makedirs(folder)
    shard = None
    origin = None
    count = 0
    shardLine = 0

    def close():
        shard.close()
        with open(os.path.join(folder, shardName(shardIndex) + ".json"), "w") as out:
            json.dump(origin, out)

    shardIndex = 0
    with openInput(inputPath) as stream:
        for start, lines, bare in records(stream):
            if count % size == 0:
                if shard is not None:
                    close()
                shardIndex += 1
                shard = open(os.path.join(folder, shardName(shardIndex) + ".fa"), "wb")
                origin = {"input": inputPath, "before": count, "line_offsets": []}
                shardLine = 0
            count += 1
            if bare:
                shard.write(b">seq%d\n" % count)
                shardLine += 1
            origin["line_offsets"].append(start - (shardLine + 1))
            shard.writelines(lines)
            shardLine += len(lines)
    if shard is not None:
        close()
    return count


def main(inputPath, output, size):
    # Built beside the final folder and renamed, so that a killed run leaves no half shard set.
    partial = output + ".part"
    shutil.rmtree(partial, ignore_errors=True)
    count = writeShards(inputPath, partial, size)
    shutil.rmtree(output, ignore_errors=True)
    os.replace(partial, output)
    print(f"{inputPath}: {count} records in {-(-count // size)} shards", file=sys.stderr)


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("input")
    parser.add_argument("folder", help="made anew; holds the shards afterwards")
    parser.add_argument("--size", type=int, required=True, help="records per shard")
    args = parser.parse_args()
    if args.size < 1:
        parser.error("--size must be at least 1")
    main(args.input, args.folder, args.size)
