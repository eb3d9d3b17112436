#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian packages (the `package` preset, then cpack), checks their contents and
# control fields, installs them with dpkg, builds and runs the package consumer against the
# installed packages through the CMake package and through pkg-config, and removes them again.
# Needs root (it installs into the system; CI runs on a scratch machine as root) and dpkg-dev.
# Refuses to start when either package is already installed, and purges what it installed
# on every exit, so the machine is left as it was.
#   cmake/deb-check.sh            (from anywhere; builds in build/package)
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build_dir=$source_dir/build/package

version=$(sed -n 's/^ *VERSION \([0-9.]*\)$/\1/p' CMakeLists.txt | head -n 1)
major=${version%%.*}
runtime=libvorn-core$major
dev=libvorn-core-dev
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
libdir=/usr/lib/$multiarch

fail() { echo "deb-check: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "must run as root (installs the packages with dpkg -i)"
for p in "$runtime" "$dev"; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'installed'; then
        fail "$p is already installed; remove it first (this check leaves the machine as it found it)"
    fi
done
[ ! -e "$libdir/libvorn-core.so.$major" ] || fail "$libdir/libvorn-core.so.$major exists outside dpkg"

scratch=$(mktemp -d)
installed=no
cleanup() {
    status=$?
    if [ "$installed" = yes ]; then
        dpkg --purge "$dev" "$runtime" >"$scratch/purge.log" 2>&1 || {
            cat "$scratch/purge.log"; echo "deb-check: could not purge the packages" >&2; status=1; }
    fi
    rm -rf "$scratch"
    exit $status
}
trap cleanup EXIT

echo "== building the packages"
cmake --preset package >"$scratch/configure.log" || { cat "$scratch/configure.log"; exit 1; }
cmake --build --preset package >"$scratch/build.log" || { cat "$scratch/build.log"; exit 1; }
rm -f "$build_dir"/*.deb
(cd "$build_dir" && cpack -G DEB) >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; exit 1; }

deb_version=$(sed -n 's/^vorn_core_deb_revision:STRING=//p' "$build_dir/CMakeCache.txt")
deb_version=$version-$deb_version
runtime_deb=$build_dir/${runtime}_${deb_version}_amd64.deb
dev_deb=$build_dir/${dev}_${deb_version}_amd64.deb
[ -f "$runtime_deb" ] || fail "no $runtime_deb"
[ -f "$dev_deb" ] || fail "no $dev_deb"

echo "== inspecting the packages"
field() { dpkg-deb -f "$1" "$2"; }
expect_field() { # deb field value
    local got; got=$(field "$1" "$2")
    [ "$got" = "$3" ] || fail "$(basename "$1"): $2 is '$got', expected '$3'"
}
expect_field "$runtime_deb" Package "$runtime"
expect_field "$runtime_deb" Section libs
expect_field "$runtime_deb" Version "$deb_version"
expect_field "$dev_deb" Package "$dev"
expect_field "$dev_deb" Section libdevel
expect_field "$dev_deb" Version "$deb_version"
expect_field "$dev_deb" Depends "$runtime (= $deb_version)"
for deb in "$runtime_deb" "$dev_deb"; do
    [ -n "$(field "$deb" Maintainer)" ] || fail "$(basename "$deb"): no Maintainer"
    [ "$(field "$deb" Description | wc -l)" -gt 2 ] || fail "$(basename "$deb"): no long description"
done
runtime_depends=$(field "$runtime_deb" Depends)
for needed in libc6 libstdc++6; do
    sed 's/, /\n/g' <<<"$runtime_depends" | cut -d' ' -f1 | grep -qxF "$needed" ||
        fail "$runtime Depends lacks $needed (dpkg-shlibdeps): '$runtime_depends'"
done
dpkg-deb --ctrl-tarfile "$runtime_deb" | tar -xO ./shlibs >"$scratch/shlibs" ||
    fail "$runtime carries no shlibs file"
grep -qx "libvorn-core $major $runtime (>= $deb_version)" "$scratch/shlibs" ||
    fail "unexpected shlibs: $(cat "$scratch/shlibs")"

# Contents, as "path" or "path -> target", without the leading "./".
contents() { dpkg-deb -c "$1" | awk '{ $1=$2=$3=$4=$5=""; sub(/^ +/, ""); sub(/^\.\//, ""); print }'; }
contents "$runtime_deb" >"$scratch/runtime.list"
contents "$dev_deb" >"$scratch/dev.list"
has() { grep -qxF "$2" "$scratch/$1.list" || fail "$1 package lacks $2"; }
lacks() { ! grep -qE "$2" "$scratch/$1.list" || fail "$1 package must not carry $(grep -E "$2" "$scratch/$1.list")"; }
has runtime "${libdir#/}/libvorn-core.so.$version"
has runtime "${libdir#/}/libvorn-core.so.$major -> libvorn-core.so.$version"
lacks runtime '^usr/include|/libvorn-core\.so ->|cmake/|pkgconfig/'
has dev "${libdir#/}/libvorn-core.so -> libvorn-core.so.$major"
has dev usr/include/vorn/core.hpp
has dev usr/include/vorn/core/result.hpp
has dev "${libdir#/}/cmake/vorn-core/vorn-core-config.cmake"
has dev "${libdir#/}/cmake/vorn-core/vorn-core-config-version.cmake"
has dev "${libdir#/}/cmake/vorn-core/vorn-core-targets.cmake"
has dev "${libdir#/}/pkgconfig/vorn-core.pc"
lacks dev "libvorn-core\.so\.$version"
# The licence travels with each package, as Debian's copyright file.
has runtime "usr/share/doc/$runtime/copyright"
has dev "usr/share/doc/$dev/copyright"
# Everything of the library lives in the multiarch libdir, nothing in /usr/lib directly.
! grep -E '^usr/lib/[^/]+$' "$scratch/runtime.list" "$scratch/dev.list" | grep -v "/$multiarch" ||
    fail "files directly under /usr/lib"
dpkg-deb -x "$runtime_deb" "$scratch/runtime-root"
soname=$(objdump -p "$scratch/runtime-root/${libdir#/}/libvorn-core.so.$version" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = "libvorn-core.so.$major" ] || fail "SONAME is '$soname'"

echo "== installing with dpkg -i"
installed=yes
dpkg -i "$runtime_deb" "$dev_deb" >"$scratch/install.log" 2>&1 || { cat "$scratch/install.log"; exit 1; }
for p in "$runtime" "$dev"; do
    dpkg-query -W -f='${Status}' "$p" | grep -q 'install ok installed' || fail "$p not installed"
done

consumer=$source_dir/tests/package/consumer
uses_installed_library() { # program
    local lib; lib=$(ldd "$1" | awk '$1 == "libvorn-core.so.'"$major"'" { print $3 }')
    [ "$(readlink -f "$lib")" = "$libdir/libvorn-core.so.$version" ] ||
        fail "$1 loads '$lib', not the installed library"
}

echo "== CMake package"
# No prefix path and no rpath: the consumer must find the package where Debian put it.
env -u CMAKE_PREFIX_PATH cmake -S "$consumer" -B "$scratch/cmake-build" \
    >"$scratch/cmake-configure.log" || { cat "$scratch/cmake-configure.log"; exit 1; }
found=$(sed -n 's/^vorn-core_DIR:PATH=//p' "$scratch/cmake-build/CMakeCache.txt")
[ "$found" = "$libdir/cmake/vorn-core" ] || fail "CMake found the package in '$found'"
cmake --build "$scratch/cmake-build" >"$scratch/cmake-build.log" || { cat "$scratch/cmake-build.log"; exit 1; }
uses_installed_library "$scratch/cmake-build/consumer"
"$scratch/cmake-build/consumer"

echo "== pkg-config"
unset PKG_CONFIG_PATH
[ "$(pkg-config --modversion vorn-core)" = "$version" ] || fail "pkg-config version mismatch"
# The .pc file finds its prefix relative to its own place.
pc_libdir=$(pkg-config --variable=libdir vorn-core)
[ "$(realpath "$pc_libdir")" = "$libdir" ] || fail "pkg-config libdir is $pc_libdir"
# shellcheck disable=SC2046
c++ -std=c++17 -Wall -Wextra -Werror "$consumer/main.cpp" -o "$scratch/pkg-consumer" \
    $(pkg-config --cflags --libs vorn-core)
uses_installed_library "$scratch/pkg-consumer"
"$scratch/pkg-consumer"

echo "== removing"
dpkg -r "$dev" "$runtime" >"$scratch/remove.log" 2>&1 || { cat "$scratch/remove.log"; exit 1; }
for f in "$libdir/libvorn-core.so.$major" "$libdir/libvorn-core.so" /usr/include/vorn/core.hpp \
         "$libdir/pkgconfig/vorn-core.pc"; do
    [ ! -e "$f" ] || fail "$f is still there after dpkg -r"
done
echo "deb-check: $runtime and $dev $deb_version built, inspected, installed, used and removed"
