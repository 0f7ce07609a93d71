"""A series over a Dask cluster: its shards run on the workers and are merged
as `encounter-batch merge` merges them, into the Series a local run returns.

    from dask.distributed import Client
    import encounter.dask
    client = Client("scheduler:8786")
    s = encounter.dask.series(client, 8, shards=16, integrator="gauss-radau")

A shard that fails, or whose output the merge refuses (cut short, damaged,
missing), is run again; one that still fails is named in a MergeError, never
dropped.
"""

import json
import os
import re
import tempfile
import uuid
import warnings

import numpy as np

from . import _encounter, _progress, _series, _table

# The flags a merge decides again in series order.
# The flags merge decides again (best, and the cross-check's acc_best and
# differs); the others come out of it as they went in.
REDECIDED = tuple(n for n, c in _table.COLUMNS.items() if c["type"] in ("bool", "boolean"))


class MergeError(_encounter.Error):
    """Shards that failed, or whose output could not be merged, after the
    runs again allowed."""

    def __init__(self, message, shards):
        super().__init__(message)
        self.shards = sorted(shards)


def run_shard(request, k, n, jobs):
    """On a worker: the k-th of n shards of the series (no picture)."""
    result, _ = _series.run(request, shard=k, shards=n, jobs=jobs, picture=False)
    return {key: result[key] for key in ("csv", "columns", "record", "untrusted")}


def _submit(client, request, shards, n, jobs, retries):
    token = uuid.uuid4().hex[:8]
    return {k: client.submit(run_shard, request, k, n, jobs, key=f"encounter-shard-{k}-of-{n}-{token}",
                             pure=False, retries=retries)
            for k in shards}


def _gather(futures, outputs, report):
    """The outputs of the futures into outputs[k]; (k, reason) of those that
    failed. The input errors of the series itself are raised."""
    failed = []
    try:
        for k, future in futures.items():
            try:
                outputs[k] = future.result()
            except (_encounter.InputError, TypeError):
                raise
            except Exception as e:  # a worker lost, a shard that raised
                outputs.pop(k, None)
                failed.append((k, f"shard {k} failed: {type(e).__name__}: {e}"))
            if report:
                report(len(outputs), len(futures), 0)
    except BaseException:
        for future in futures.values():
            future.cancel()
        raise
    return failed


def _ranges(text):
    """[2, 3, 4, 7] for "2-4 7"."""
    ks = []
    for part in text.split():
        first, _, last = part.partition("-")
        ks.extend(range(int(first), int(last or first) + 1))
    return ks


def merge(outputs, n):
    """Merges the shard outputs {k: output} through the engine's merge:
    (merged CSV bytes or None, messages, shards to run again)."""
    with tempfile.TemporaryDirectory(prefix="encounter-merge-") as tmp:
        paths = []
        for k, output in sorted(outputs.items()):
            paths.append(os.path.join(tmp, f"shard-{k}-of-{n}.csv"))
            with open(paths[-1], "wb") as f:
                f.write(output["csv"])
        status, merged, messages = _encounter.merge_shards(paths)
    # The files are gone: the messages name the shards.
    again = set()
    for k, path in zip(sorted(outputs), paths):
        if path in messages:
            again.add(k)
            messages = re.sub(r'"?' + re.escape(path) + r'"?', f"shard {k}/{n}", messages)
    if status == 0:
        return merged, messages, set()
    for line in messages.splitlines():
        if " run again: --shard K/" in line:
            again.update(_ranges(line.split(" for K = ", 1)[1]))
    if not outputs:
        again.update(range(1, n + 1))
    return None, messages, again


def _check_rows(outputs, n):
    """The shards whose typed rows are not the tests their CSV holds."""
    wrong = set()
    for k, output in outputs.items():
        test = output["columns"]["test"]
        if not np.array_equal(test, np.arange(k - 1, k - 1 + n * len(test), n)):
            wrong.add(k)
    return wrong


def _merged_flags(merged, columns):
    """The flags the merge decided again, from its CSV."""
    lines = merged.decode().split("\n")
    header = lines[0].split(",")
    rows = [line.split(",") for line in lines[1:] if line]
    for name in REDECIDED:
        if name not in header:
            continue
        c = header.index(name)
        cells = np.array([row[c] for row in rows], dtype=object)
        if columns[name].dtype == np.int8:
            columns[name] = np.where(cells == "", -1, cells == "1").astype(np.int8)
        else:
            columns[name] = cells == "1"


def _assemble(outputs, prepared, merged, messages):
    """The Series of the merged shards, as the local run returns it."""
    shards = [outputs[k] for k in sorted(outputs)]
    names = prepared.header.split(",")
    order = np.argsort(np.concatenate([s["columns"]["test"] for s in shards]), kind="stable")
    columns = {}
    for name in ["test"] + names:
        parts = [s["columns"][name] for s in shards]
        if isinstance(parts[0], list):
            joined = [x for p in parts for x in p]
            columns[name] = [joined[i] for i in order]
        else:
            columns[name] = np.concatenate(parts)[order]
    _merged_flags(merged, columns)

    untrusted = sorted((int(s["columns"]["test"][pos]), text)
                       for s in shards for pos, text in s["untrusted"])
    warned = list(prepared.setup_warnings) + [text for _, text in untrusted]
    records = [json.loads(s["record"]) for s in shards]
    meta = dict(records[0])
    meta.update(
        arguments=[a for a in meta["arguments"] if not a.startswith("--shard")],
        command_line=re.sub(r" --shard=[0-9]+/[0-9]+", "", meta["command_line"]),
        columns=prepared.header, series=prepared.series_id, tests_to_run=prepared.tests,
        tests_written=len(order), threads=sum(r["threads"] for r in records), shard=None,
        warnings=len(warned), untrusted=len(untrusted), start_time=min(r["start_time"] for r in records),
        end_time=max(r["end_time"] for r in records),
        host=", ".join(sorted({r["host"] for r in records})), shards=records)
    cross = [line.split(": ", 1)[1] for line in messages.splitlines() if ": crosscheck: " in line]
    positions = np.searchsorted(columns["test"], [test for test, _ in untrusted])
    return _series.Series(columns, names, merged, meta, warned, series_id=prepared.series_id,
                          crosscheck=cross[0] if cross else "", untrusted=positions)


def series(client, test=None, *, shards=None, jobs=1, retries=1, runs_again=1, unit=None,
           integrator="euler-sums", crosscheck=False, lanes=None, max_steps=50_000_000,
           energy=False, full=False, progress=True, **fields):
    """Runs the series as `shards` interleaved shards on the cluster of client
    (a dask.distributed Client) and returns the Series a local run returns
    (without a picture). Arguments as for encounter.series; jobs: threads per
    shard; shards: default one per worker thread; retries: Dask's retries of a
    shard that raises; runs_again: rounds of running again the shards the
    merge refuses or that failed. Raises MergeError naming the shards that
    still fail."""
    request = _series.Request.of(test, fields, unit=unit, integrator=integrator, crosscheck=crosscheck,
                           jobs=jobs, lanes=lanes, max_steps=max_steps, energy=energy, full=full,
                           picture=False)
    prepared = request.prepare()  # the input is checked here, before anything is sent
    for text in prepared.setup_warnings:
        warnings.warn(text, _series.TrustWarning, stacklevel=2)
    n = shards or max(1, sum(client.nthreads().values()))
    report, close = _progress.reporter(progress, f"scenario {request.test or 0}, shards")
    outputs, pending = {}, set(range(1, n + 1))
    try:
        for round_ in range(runs_again + 1):
            failed = _gather(_submit(client, request, sorted(pending), n, jobs, retries), outputs,
                             report)
            for k in _check_rows(outputs, n):
                del outputs[k]
            merged, messages, pending = merge(outputs, n)
            pending.update(k for k, _ in failed)
            if not pending:
                break
    finally:
        close()
    if pending:
        why = "\n".join([reason for _, reason in failed] + messages.splitlines())
        raise MergeError(f"shards {sorted(pending)} of {n} could not be merged:\n{why}", pending)
    result = _assemble(outputs, prepared, merged, messages)
    for text in result.warnings[len(prepared.setup_warnings):]:
        warnings.warn(text, _series.TrustWarning, stacklevel=2)
    return result
