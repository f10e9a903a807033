#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need (only those missing).
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config            # toolchain
  libjpeg62-turbo-dev libpng-dev zlib1g-dev   # JPEG and PNG codecs
  qt6-base-dev                                # the Qt container and the movitrel program
  libcli11-dev nlohmann-json3-dev             # the movitrel program's command line and scripting
  libgtest-dev libgmock-dev libbenchmark-dev  # tests and benchmarks
  clang-14 libclang-rt-14-dev                 # the clang build and the fuzz targets
  clang-format-14                             # the format check of the test job
  mingw-w64-tools libwine-dev                 # widl and the IDL imports, for the type library
  libjpeg-turbo-progs libgif-dev              # independent oracles for the codec tests
  python3 python3-pil                         # test-data helpers
  xvfb xauth                                  # a display for the Qt container's tests
  dpkg-dev file help2man                      # the Debian package: dpkg-shlibdeps, the man page
  zip unzip                                   # the Windows zip and its check
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: run as root to install packages" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
