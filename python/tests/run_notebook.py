"""Runs a notebook headlessly from its first cell to its last and fails on
the first cell that raises: the examples a physicist starts from must run."""

import sys

import nbclient
import nbformat


def main(path):
    notebook = nbformat.read(path, as_version=4)
    client = nbclient.NotebookClient(notebook, timeout=300, kernel_name="python3",
                                     resources={"metadata": {"path": "."}})
    try:
        client.execute()
    except nbclient.exceptions.CellExecutionError as error:
        print(error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
