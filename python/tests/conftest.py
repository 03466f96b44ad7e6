"""Shared by the package's tests: the kaltra host they compare with, and a fresh interpreter.

The engine reuses the coefficients of the last fluid and temperature for a temperature within
2^-23 of it, so the last bits of an answer can depend on the call before it. Comparisons with
the kaltra host therefore make the same calls in the same order in a fresh process on each
side.
"""

import os
import subprocess
import sys
from pathlib import Path

import pytest

REPOSITORY = Path(__file__).resolve().parents[2]


def host_path():
    return os.environ.get("KALTRA_HOST") or str(REPOSITORY / "build" / "host" / "kaltra")


@pytest.fixture(scope="session")
def host():
    """Answers formulas with the kaltra host, one printed line per formula."""
    path = host_path()
    if not os.access(path, os.X_OK):
        pytest.skip(f"the kaltra host is not built at {path} (KALTRA_HOST names another)")

    def run(formulas):
        done = subprocess.run([path], input="".join(f + "\n" for f in formulas), capture_output=True, text=True,
                              timeout=300, env={k: v for k, v in os.environ.items() if k != "KALTRA_ADDIN"})
        assert done.returncode == 0, done.stderr
        return done.stdout.splitlines()

    return run


def run_python(script, *arguments, cwd=None, timeout=300):
    """Runs a script in a fresh interpreter (the one running the tests) and answers its output."""
    done = subprocess.run([sys.executable, "-c", script, *arguments], capture_output=True, text=True, timeout=timeout,
                          cwd=cwd)
    assert done.returncode == 0, done.stderr
    return done.stdout
