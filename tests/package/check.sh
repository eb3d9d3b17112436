#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the built library into a scratch prefix, then builds and runs a small consumer
# program against the installed copy twice: through the CMake package and through pkg-config.
#   check.sh <build dir> <scratch dir> [c++ compiler]
set -euo pipefail

build_dir=$1
work=$2
cxx=${3:-c++}
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix

cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log"

# The installed layout.
libdir=$(dirname "$(find "$prefix" -name 'libvorn-core.so.2.1.0' | head -n 1)")
for f in "$prefix/include/vorn/core.hpp" "$prefix/include/vorn/core/result.hpp" \
         "$prefix/include/vorn/core/testing/result_matchers.hpp" \
         "$libdir/libvorn-core.so.2.1.0" "$libdir/cmake/vorn-core/vorn-core-config.cmake" \
         "$libdir/cmake/vorn-core/vorn-core-config-version.cmake" "$libdir/pkgconfig/vorn-core.pc"; do
    [ -f "$f" ] || { echo "missing from the installation: ${f#"$prefix"/}"; exit 1; }
done
[ "$(readlink "$libdir/libvorn-core.so.2")" = "libvorn-core.so.2.1.0" ] || { echo "bad libvorn-core.so.2 link"; exit 1; }
[ "$(readlink "$libdir/libvorn-core.so")" = "libvorn-core.so.2" ] || { echo "bad libvorn-core.so link"; exit 1; }
soname=$(objdump -p "$libdir/libvorn-core.so.2.1.0" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = "libvorn-core.so.2" ] || { echo "SONAME is '$soname'"; exit 1; }

echo "== CMake package"
cmake -S "$here/consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_RPATH="$libdir" >"$work/cmake-configure.log"
cmake --build "$work/cmake-build" >"$work/cmake-build.log"
"$work/cmake-build/consumer"
if [ -x "$work/cmake-build/consumer_matchers" ]; then
    "$work/cmake-build/consumer_matchers" --gtest_brief=1
fi

echo "== pkg-config"
export PKG_CONFIG_PATH="$libdir/pkgconfig"
[ "$(pkg-config --modversion vorn-core)" = "2.1.0" ] || { echo "pkg-config version mismatch"; exit 1; }
# shellcheck disable=SC2046
"$cxx" -std=c++17 -Wall -Wextra -Werror "$here/consumer/main.cpp" -o "$work/pkg-consumer" \
    $(pkg-config --cflags --libs vorn-core) -Wl,-rpath,"$(pkg-config --variable=libdir vorn-core)"
"$work/pkg-consumer"
