"""Only for wheels that bundle the library (scripts/build-python-wheels.py sets
VELNOR_WHEEL_PLATFORM): such a wheel is tagged py3-none-<platform>, since the code is
pure Python but the library inside is for one platform. Everything else is in
pyproject.toml."""

import os

from setuptools import Distribution, setup

platform = os.environ.get("VELNOR_WHEEL_PLATFORM")
options = {}
if platform:
    from wheel.bdist_wheel import bdist_wheel

    class platform_distribution(Distribution):
        # Platform files inside: installed to platlib, like a package with extensions.
        def has_ext_modules(self):
            return True

    class platform_wheel(bdist_wheel):
        def get_tag(self):
            return "py3", "none", platform

    options = {"distclass": platform_distribution, "cmdclass": {"bdist_wheel": platform_wheel}}

setup(**options)
