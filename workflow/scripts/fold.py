"""Folds one shard with korvane-fold and writes its blocks, its table rows and its skipped rows.

korvane-fold exits 1 when it skipped records. That is a success here only when every line it
wrote on standard error is a skip line for a record it could not fold; anything else (a
program that does not start, a crash, a file it could not write) fails the shard.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tarfile

PROGRAM = "korvane-fold"
EXIT_ALL_FOLDED = 0
EXIT_SOMETHING_SKIPPED = 1
# REASON never holds "): ", so the greedy title match stops at the right place.
SKIP_LINE = re.compile(r"korvane-fold: (?P<file>.*?): record (?P<record>[0-9]+) \((?P<title>.*)\): (?P<reason>.*)")
STATS_LINE = "korvane-fold: stats\t"
WRITE_FAILURE = "cannot write "
LINE_REASON = re.compile(r"line ([0-9]+)(, .*)", re.DOTALL)


class shardFailure(Exception):
    pass


def skippedRows(stderrText, shardPath, origin):
    """(file, record, reason) per skip line, in the numbering of the original input."""
    rows = []
    for line in stderrText.splitlines():
        if line.startswith(STATS_LINE):
            continue
        match = SKIP_LINE.fullmatch(line)
        if not match or match["file"] != shardPath or match["reason"].startswith(WRITE_FAILURE):
            raise shardFailure(f"{PROGRAM} failed on {shardPath}: {line}")
        number = int(match["record"])
        if not 1 <= number <= len(origin["line_offsets"]):
            raise shardFailure(f"{PROGRAM} named a record that {shardPath} does not hold: {line}")
        reason = match["reason"]
        inLine = LINE_REASON.fullmatch(reason)
        if inLine:
            reason = f"line {int(inLine[1]) + origin['line_offsets'][number - 1]}{inLine[2]}"
        rows.append((origin["input"], origin["before"] + number, reason))
    return rows


def tableRows(structures, algorithm):
    """(id, length, energy, structure, algorithm) per block of korvane-fold's standard output."""
    lines = structures.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    if len(lines) % 3 != 0:
        raise shardFailure(f"{PROGRAM} printed {len(lines)} lines, not whole blocks of three")
    rows = []
    for k in range(0, len(lines), 3):
        title, letters, folded = lines[k], lines[k + 1], lines[k + 2]
        bracketEnd = folded.rfind(" (")
        if not title.startswith(">") or bracketEnd < 0 or not folded.endswith(")"):
            raise shardFailure(f"{PROGRAM} printed a block that is not title, sequence, structure: {title!r}")
        words = title[1:].split()
        energy = folded[bracketEnd + 2:-1].strip()
        rows.append((words[0] if words else "", str(len(letters)), energy, folded[:bracketEnd], algorithm))
    return rows


def writeText(path, text):
    part = path + ".part"
    with open(part, "w") as out:
        out.write(text)
    os.replace(part, path)


def packFolder(folder, archive):
    part = archive + ".part"
    with tarfile.open(part, "w:gz") as tar:
        for name in sorted(os.listdir(folder)):
            tar.add(os.path.join(folder, name), arcname=name)
    os.replace(part, archive)


def run(shardPath, originPath, settings, threads, outputs):
    with open(originPath) as f:
        origin = json.load(f)
    # Per-record files go beside the outputs, never into a /tmp that cluster nodes do not share.
    scratch = outputs["structures"] + ".files"
    shutil.rmtree(scratch, ignore_errors=True)
    command = [settings["korvane_fold"], "--quiet", "-j", str(threads), "--algorithm", settings["algorithm"],
               "--temperature", repr(settings["temperature"])]
    if settings["params"]:  # empty: korvane-fold's own default for the algorithm
        command += ["--params", settings["params"]]
    folders = {}
    for kind in ("ct", "svg"):
        if settings[kind]:
            folders[kind] = os.path.join(scratch, kind)
            command += ["--" + kind, folders[kind]]
    command += settings["extra"] + ["--", shardPath]
    print(" ".join(command), file=sys.stderr)
    try:
        done = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    except OSError as error:
        raise shardFailure(f"{PROGRAM} could not be started: {error}")
    if done.returncode not in (EXIT_ALL_FOLDED, EXIT_SOMETHING_SKIPPED):
        raise shardFailure(f"{PROGRAM} exited with status {done.returncode} on {shardPath}:\n{done.stderr}")
    skipped = skippedRows(done.stderr, shardPath, origin)
    if done.returncode == EXIT_SOMETHING_SKIPPED and not skipped:
        raise shardFailure(f"{PROGRAM} exited with status 1 on {shardPath} without naming a record:\n{done.stderr}")
    if done.returncode == EXIT_ALL_FOLDED and skipped:
        raise shardFailure(f"{PROGRAM} named skipped records but exited with status 0 on {shardPath}")
    table = tableRows(done.stdout, settings["algorithm"])
    if len(table) + len(skipped) != len(origin["line_offsets"]):
        raise shardFailure(f"{shardPath}: {len(origin['line_offsets'])} records, but {PROGRAM} folded "
                           f"{len(table)} and skipped {len(skipped)}")
    for kind, folder in folders.items():
        os.makedirs(folder, exist_ok=True)
        packFolder(folder, outputs[kind])
    shutil.rmtree(scratch, ignore_errors=True)
    writeText(outputs["table"], "".join("\t".join(row) + "\n" for row in table))
    writeText(outputs["skipped"], "".join(f"{file}\t{record}\t{reason}\n" for file, record, reason in skipped))
    writeText(outputs["structures"], done.stdout)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("shard")
    parser.add_argument("--origin", required=True, help="the shard's .json beside it")
    parser.add_argument("--settings", required=True, help="the korvane-fold settings (.json)")
    parser.add_argument("--threads", type=int, default=1)
    for name in ("structures", "table", "skipped"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--ct", default="")
    parser.add_argument("--svg", default="")
    args = parser.parse_args()
    with open(args.settings) as f:
        settings = json.load(f)
    outputs = {name: getattr(args, name) for name in ("structures", "table", "skipped", "ct", "svg")}
    for kind in ("ct", "svg"):
        if settings[kind] and not outputs[kind]:
            parser.error(f"the settings ask for {kind} files: --{kind} ARCHIVE is needed")
    try:
        run(args.shard, args.origin, settings, args.threads, outputs)
    except shardFailure as failure:
        sys.exit(str(failure))


if __name__ == "__main__":
    main()
