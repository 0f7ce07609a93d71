"""progress=: a bar while a series runs, or the caller's own function."""

from . import _encounter


def reporter(progress, description):
    """(report(done, total, steps) or None, close()). progress: True for a
    tqdm bar (when tqdm is installed; shown only for series that take longer
    than half a second), False or None for none, or a function called with
    the tests done, the tests to run and the steps integrated so far."""
    if callable(progress):
        return progress, lambda: None
    if progress is not None and not isinstance(progress, bool):
        raise _encounter.InputError(f"progress takes True, False or a function f(done, total, "
                                    f"steps), not {progress!r}")
    if not progress:
        return None, lambda: None
    try:
        from tqdm.auto import tqdm
    except ImportError:
        return None, lambda: None
    bar = None

    def report(done, total, steps):
        nonlocal bar
        if bar is None:
            bar = tqdm(total=total, desc=description, unit="test", delay=0.5, leave=False)
        bar.set_postfix_str(f"{steps:.3g} steps", refresh=False)
        bar.update(done - bar.n)

    def close():
        if bar is not None:
            bar.close()

    return report, close
