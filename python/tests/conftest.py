import os
import sys
import tempfile

import pytest

# Velnor.log lives in the temporary directory, shared by every process that uses the
# library; the suite gets its own, so other runs on the machine cannot touch its lines.
os.environ["TMPDIR"] = tempfile.mkdtemp(prefix="velnor-pytest-")

pytest_plugins = ["velnor.pytest_plugin"]

import velnor  # noqa: E402

LIBRARY = os.environ.get("VELNOR_LIBRARY", "")


def log_suffix(line):
    """A log line without its time stamp: what the test can know in advance."""
    assert line is not None, "no log line was attributed"
    prefix, _, rest = line.partition("] ")
    assert prefix.startswith("[20"), line
    return rest


@pytest.fixture
def board(velnor_sim):
    velnor_sim.add_board()
    with velnor.open() as opened:
        yield opened


def run_python(code, env=None, cwd=None):
    """Runs code in a fresh interpreter (the loader is per process)."""
    import subprocess

    full = dict(os.environ)
    full.update(env or {})
    full = {key: value for key, value in full.items() if value is not None}
    return subprocess.run([sys.executable, "-c", code], env=full, cwd=cwd,
                          capture_output=True, text=True, timeout=120)
