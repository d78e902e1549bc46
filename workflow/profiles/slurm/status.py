#!/usr/bin/env python3
"""Snakemake's cluster status command: prints running, success or failed for a SLURM job id."""

import subprocess
import sys

RUNNING = {"PENDING", "CONFIGURING", "RUNNING", "COMPLETING", "SUSPENDED", "REQUEUED", "RESIZING", "STAGE_OUT",
           "SIGNALING", "REQUEUE_HOLD", "REQUEUE_FED"}
QUERY_SECONDS = 60


def query(command):
    """The first word printed, "" when nothing is printed, None when the command cannot run."""
    try:
        done = subprocess.run(command, capture_output=True, text=True, timeout=QUERY_SECONDS)
    except (OSError, subprocess.TimeoutExpired):
        return None
    if done.returncode != 0:
        return None
    words = done.stdout.split()
    return words[0].rstrip("+") if words else ""


job = sys.argv[1]
state = query(["sacct", "-j", job, "-X", "-n", "-P", "-o", "State"])
if state is None:
    # No accounting: a job squeue no longer lists has ended, and Snakemake then checks that its
    # outputs are there.
    state = query(["squeue", "-h", "-j", job, "-o", "%T"]) or "COMPLETED"
if state == "" or state in RUNNING:
    print("running")  # an empty answer: the job is not in the accounting yet
elif state == "COMPLETED":
    print("success")
else:
    print("failed")
