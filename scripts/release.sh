#!/usr/bin/env bash
# Builds the release packages from a clean Release build: build/packages/quorvel-VERSION-Linux.tar.gz
# (the installed tree, to unpack and play anywhere) and quorvel_VERSION_ARCH.deb (under /usr, its
# dependencies read from the binaries), and prints what lintian says of the .deb.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
rm -rf build/release-package build/packages
cmake -S . -B build/release-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BUILD_TESTS=OFF \
  -DQUORVEL_BUILD_BENCH=OFF -DQUORVEL_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build build/release-package
mkdir -p build/packages
(cd build/packages && cpack --config ../release-package/CPackConfig.cmake && rm -rf _CPack_Packages)
lintian --fail-on error build/packages/*.deb
ls -l build/packages
