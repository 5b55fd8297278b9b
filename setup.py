"""Builds the extension of the Python package with CMake (see pyproject.toml)."""

import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).parent.resolve()


class CMakeBuild(build_ext):
    """Configures a Python-only build tree and copies the module out of it."""

    def build_extension(self, ext):
        tree = pathlib.Path(self.build_temp).resolve() / "cmake"
        subprocess.check_call([
            "cmake", "-S", str(ROOT), "-B", str(tree), "-DCMAKE_BUILD_TYPE=Release",
            "-DLINKFORGE_BUILD_MEX=OFF", "-DLINKFORGE_BUILD_TESTS=OFF", "-DLINKFORGE_BUILD_BENCH=OFF",
            "-DLINKFORGE_BUILD_PYTHON=ON", f"-DLINKFORGE_PYTHON_EXECUTABLE={sys.executable}",
        ])
        subprocess.check_call(["cmake", "--build", str(tree), "--target", "_linkforge",
                               "--parallel", str(os.cpu_count() or 1)])
        built = next((tree / "python" / "linkforge").glob("_linkforge*.so"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(built, target)


setup(
    packages=["linkforge"],
    package_dir={"": "bindings/python"},
    package_data={"linkforge": ["*.pyi", "py.typed"]},
    ext_modules=[Extension("linkforge._linkforge", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    # Intermediate files go to build-pip/, away from the CMake tree in build/.
    options={"build": {"build_base": "build-pip"}, "egg_info": {"egg_base": "build-pip"}},
)
