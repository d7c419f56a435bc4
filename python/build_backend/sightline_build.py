"""Build backend (PEP 517) of the Python package sightline: CMake builds the
module _sightline for the interpreter that runs pip, and the wheel is the
package python/sightline/ with it.

Written out here instead of going through setuptools because the wheel is a
plain zip file (PEP 427) and setuptools' own wheel step needs the `wheel`
package, which not every interpreter has and PyPI may be out of reach; with
`pip install --no-build-isolation .` nothing beyond CMake, a C++ compiler,
pybind11-dev and the interpreter's headers is needed.

Environment: SIGHTLINE_BUILD_DIR keeps the CMake build folder between
installs (a temporary folder otherwise); CMAKE_BUILD_PARALLEL_LEVEL sets the
parallel jobs (2 by default); CMAKE_ARGS adds CMake options.
"""

import base64
import hashlib
import os
import re
import shlex
import shutil
import subprocess
import sys
import sysconfig
import tempfile
import zipfile

_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
_PACKAGE = os.path.join(_ROOT, "python", "sightline")
_PACKAGE_FILES = ("__init__.py", "__init__.pyi", "py.typed")


def _version():
    with open(os.path.join(_ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        match = re.search(r"project\(\s*Sightline\s+VERSION\s+([0-9.]+)", f.read())
    if not match:
        raise RuntimeError("CMakeLists.txt: expected project(Sightline VERSION X.Y.Z)")
    return match.group(1)


def _tag():
    """The wheel tag of this interpreter, e.g. cp311-cp311-linux_x86_64."""
    python = "cp" if sys.implementation.name == "cpython" else sys.implementation.name[:2]
    version = "%d%d" % sys.version_info[:2]
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return "%s%s-%s%s-%s" % (python, version, python, version, platform)


def _metadata(version):
    return (
        "Metadata-Version: 2.1\n"
        "Name: sightline\n"
        "Version: %s\n"
        "Summary: Points and trajectories of fireballs (bright meteors) from several stations\n"
        "Requires-Python: >=3.8\n"
        "Provides-Extra: table\n"
        "Requires-Dist: numpy; extra == \"table\"\n" % version
    )


def _build_module(build_dir):
    """Configures and builds the target _sightline; returns the module's path."""
    configure = [
        "cmake", "-S", _ROOT, "-B", build_dir,
        "-DSIGHTLINE_BUILD_PYTHON=ON", "-DSIGHTLINE_BUILD_TESTS=OFF", "-DSIGHTLINE_BUILD_BENCHMARKS=OFF",
        "-DPython_EXECUTABLE=" + sys.executable, "-DPYTHON_EXECUTABLE=" + sys.executable,
    ]
    if shutil.which("ccache"):
        configure.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
    configure += shlex.split(os.environ.get("CMAKE_ARGS", ""))
    jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
    subprocess.run(configure, check=True, stdout=sys.stderr)
    subprocess.run(["cmake", "--build", build_dir, "--target", "_sightline", "-j", jobs], check=True, stdout=sys.stderr)
    suffix = sysconfig.get_config_var("EXT_SUFFIX") or ".so"
    module = os.path.join(build_dir, "python", "sightline", "_sightline" + suffix)
    if not os.path.exists(module):
        raise RuntimeError(module + ": the build made no module for this interpreter")
    return module


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return "%s,sha256=%s,%d\n" % (name, digest, len(data))


def _dist_info(version):
    """The dist-info folder's name and files ({name: bytes}) but RECORD."""
    dist_info = "sightline-%s.dist-info" % version
    wheel = "Wheel-Version: 1.0\nGenerator: sightline_build\nRoot-Is-Purelib: false\nTag: %s\n" % _tag()
    return dist_info, {"METADATA": _metadata(version).encode(), "WHEEL": wheel.encode()}


def _write_wheel(path, files, version):
    """Writes the wheel `path` holding `files` ({name in wheel: bytes}) and its dist-info."""
    dist_info, info_files = _dist_info(version)
    files = dict(files)
    for name, data in info_files.items():
        files[dist_info + "/" + name] = data
    record = "".join(_record_line(name, data) for name, data in files.items()) + dist_info + "/RECORD,,\n"
    with zipfile.ZipFile(path, "w", compression=zipfile.ZIP_DEFLATED) as wheel:
        for name, data in files.items():
            wheel.writestr(name, data)
        wheel.writestr(dist_info + "/RECORD", record)


def get_requires_for_build_wheel(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    dist_info, info_files = _dist_info(_version())
    os.makedirs(os.path.join(metadata_directory, dist_info), exist_ok=True)
    for name, data in info_files.items():
        with open(os.path.join(metadata_directory, dist_info, name), "wb") as f:
            f.write(data)
    return dist_info


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    version = _version()
    build_dir = os.environ.get("SIGHTLINE_BUILD_DIR") or tempfile.mkdtemp(prefix="sightline-build-")
    module = _build_module(build_dir)
    files = {}
    for name in _PACKAGE_FILES:
        with open(os.path.join(_PACKAGE, name), "rb") as f:
            files["sightline/" + name] = f.read()
    with open(module, "rb") as f:
        files["sightline/" + os.path.basename(module)] = f.read()
    wheel_name = "sightline-%s-%s.whl" % (version, _tag())
    _write_wheel(os.path.join(wheel_directory, wheel_name), files, version)
    if not os.environ.get("SIGHTLINE_BUILD_DIR"):
        shutil.rmtree(build_dir, ignore_errors=True)
    return wheel_name
