"""Shared fixtures of the Python tests: the checkout, the command-line tool and its JSON output.

ctest runs these with PYTHONPATH=<build>/python (the module) and
SIGHTLINE_BINARY=<build>/sightline (the tool they are compared with).
"""

import json
import os
import shutil
import subprocess

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


@pytest.fixture(autouse=True)
def in_checkout(monkeypatch):
    """Relative paths such as examples/three-stations.json name the same files for the tool and the module."""
    monkeypatch.chdir(ROOT)


@pytest.fixture(scope="session")
def tool():
    binary = os.environ.get("SIGHTLINE_BINARY") or shutil.which("sightline")
    if not binary or not os.path.exists(binary):
        pytest.skip("the command-line tool is needed: set SIGHTLINE_BINARY (ctest does)")
    return binary


def run_tool(binary, *args):
    """(exit status, standard output, standard error) of `sightline ARGS` run in the checkout."""
    done = subprocess.run([binary, *args], cwd=ROOT, capture_output=True, text=True, check=False)
    return done.returncode, done.stdout, done.stderr


def tool_message(stderr):
    """The message the tool printed after "sightline: " (its first line of that kind)."""
    for line in stderr.splitlines():
        if line.startswith("sightline: ") and not line.startswith("sightline: warning: "):
            return line[len("sightline: "):]
    raise AssertionError("the tool printed no message: " + stderr)


def tool_json(binary, *args):
    status, out, err = run_tool(binary, *args)
    assert status in (0, 4), err  # 4: valid input without a solution still writes its JSON
    return json.loads(out)
