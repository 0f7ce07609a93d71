"""Shared by the tests of the Python module: the command line to compare
with. ctest sets ENCOUNTER_BATCH and PYTHONPATH (the build tree's python/
directory)."""

import os
import signal
import subprocess

# The Ctrl-C tests need the interpreter's own handler; a shell starts
# background jobs with Ctrl-C ignored, and Python then leaves it so.
signal.signal(signal.SIGINT, signal.default_int_handler)

SOURCE = os.environ.get("ENCOUNTER_SOURCE_DIR",
                        os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
BATCH = os.environ.get("ENCOUNTER_BATCH", os.path.join(SOURCE, "build", "bin", "encounter-batch"))


def batch(*args):
    """The standard output of encounter-batch ARGS --quiet, as bytes."""
    r = subprocess.run([BATCH, *args, "--quiet"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       check=False)
    assert r.returncode == 0, r.stderr.decode()
    return r.stdout


def in_command_line_words(message):
    """A refusal naming an option's field, with the command line's option in
    its place ("lanes takes ..." -> "--lanes takes ...")."""
    from encounter import _map, _series

    for table in (_series.SERIES_OPTIONS, _map.MAP_OPTIONS):
        for name, info in table.items():
            if message.startswith((name + " ", name + ":")):
                return info["option"] + message[len(name):]
    return message
