#!/usr/bin/env bash
# Builds the Debian package: a Release build in build-package/, then cpack. The package lands in
# build-package/ as vant-conf_<version>_amd64.deb; its library dependencies are found by
# dpkg-shlibdeps.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

# Only the installed programs are built: cpack would otherwise build every test first.
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
cmake --build build-package -j "$(nproc)" --target vant-conf vant-conf-device vant-conf-download vant-conf-cli vant-devsim \
    vant-conf_lrelease
(cd build-package && cpack -G DEB)
ls -1 build-package/vant-conf_*.deb
