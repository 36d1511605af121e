#!/usr/bin/env bash
# The Debian packages: the debian workflow (release build for /usr, then
# cpack -G DEB) makes libvantrel1, libvantrel-dev, vantrel and
# python3-vantrel; lintian must
# find no error and no warning that cmake/debian/*.lintian-overrides does
# not explain. The packages are then installed into this machine with
# dpkg -i, a separate project is built against the installed
# libvantrel-dev (find_package and pkg-config) and run, the installed tool
# runs, and the packages are purged again. The inspector page comes from a
# web build made first (where em++ is present). Needs root (or sudo).
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$PWD"

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
packages=(python3-vantrel vantrel libvantrel-dev libvantrel1)
for package in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    echo "debian: $package is installed already; remove it first" >&2
    exit 1
  fi
done

# The inspector page, which the vantrel package installs, comes from a web
# build (Emscripten) made first; without em++ the package leaves it out.
inspector=""
if command -v em++ >/dev/null; then
  cmake --preset web
  cmake --build --preset web --target vantrel_inspector
  inspector="$root/build/web/web/inspector.html"
else
  echo "debian: em++ not found: the vantrel package is built without the inspector page" >&2
fi
export VANTREL_INSPECTOR_HTML="$inspector"

# Debian's own compiler and linker flags (hardening: stack protector,
# fortified functions, read-only relocations bound at load), as
# dpkg-buildflags gives them to every Debian package build. CMake takes
# CXXFLAGS and LDFLAGS from the environment on a fresh configure.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
rm -rf build/debian/packages
cmake --workflow --preset debian --fresh
unset CXXFLAGS LDFLAGS VANTREL_INSPECTOR_HTML
mapfile -t debs < <(ls build/debian/packages/*.deb)
if [ "${#debs[@]}" -ne 4 ]; then
  echo "debian: expected 4 packages, found ${#debs[@]}: ${debs[*]}" >&2
  exit 1
fi
for deb in "${debs[@]}"; do
  echo "== $(basename "$deb")"
  dpkg-deb --field "$deb" Package Version Section Depends
  dpkg-deb --contents "$deb"
done

# The dependencies between the packages are pinned to one version; the
# system libraries come from dpkg-shlibdeps.
version=$(dpkg-deb --field build/debian/packages/libvantrel1_*.deb Version)
field() { dpkg-deb --field build/debian/packages/"$1"_*.deb Depends; }
expect() {
  case "$(field "$1")" in
    *"$2"*) ;;
    *) echo "debian: $1 Depends lacks '$2': $(field "$1")" >&2; exit 1 ;;
  esac
}
expect libvantrel-dev "libvantrel1 (= $version)"
expect vantrel "libvantrel1 (= $version)"
expect vantrel "libstdc++6"
expect libvantrel1 "libc6"
expect python3-vantrel "libstdc++6"
expect python3-vantrel "python3 (>= "

echo "debian: lintian"
# --fail-on warning: a new warning fails the stage until it is fixed or
# overridden with its reason in cmake/debian/<package>.lintian-overrides.
lintian --fail-on error,warning --display-info "${debs[@]}"
# The findings overridden, for the log (--show-overrides would make them
# count towards --fail-on).
lintian --fail-on none --show-overrides "${debs[@]}" | grep '^O:' || true

echo "debian: install"
cleanup() { $sudo dpkg --purge "${packages[@]}" >/dev/null 2>&1 || true; }
trap cleanup EXIT
$sudo dpkg -i "${debs[@]}"

# A separate project against the installed development package, once by
# find_package and once by pkg-config's default search path.
cmake -DPREFIX=/usr \
  -DCONSUMER_DIR="$root/tests/package_consumer" \
  -DWORK_DIR="$root/build/debian/consumer" \
  -DGENERATOR=Ninja -DCXX=c++ -DCONFIG=Release \
  -P tests/check_package.cmake

# The installed tool, against the installed library.
help=$(/usr/bin/vantrel --help)
grep -q "Usage:" <<<"$help" || { echo "debian: vantrel --help: $help" >&2; exit 1; }
/usr/bin/vantrel parse examples/average_response_time.txt \
  | cmp - examples/average_response_time.json
# Its manual page, compressed as Debian's policy asks.
gzip -t /usr/share/man/man1/vantrel.1.gz
# The inspector page, the one the web build made.
if [ -n "$inspector" ]; then
  cmp /usr/share/vantrel/inspector.html "$inspector"
  grep -q "/usr/share/vantrel/inspector.html" <<<"$help"
fi

# The installed Python package, by Debian's interpreter from dist-packages
# (run from / so that no source tree is on the path).
(cd / && /usr/bin/python3 -c '
import sys, vantrel
assert vantrel.__file__.startswith("/usr/lib/python3/dist-packages/"), vantrel.__file__
text = open(sys.argv[1]).read().rstrip("\n")
assert vantrel.format(vantrel.parse(text)) == text and vantrel.check(text).ok
print("debian: python3-vantrel", vantrel.__version__, "from", vantrel.__file__)
' "$root/examples/average_response_time.txt")
# Its own tests of the docs and types, against the installed package.
(cd / && VANTREL_SOURCE_DIR="$root" /usr/bin/python3 -m pytest -q -p no:cacheprovider \
  "$root/python/tests/test_docs.py")

echo "debian: purge"
$sudo dpkg --purge "${packages[@]}"
trap - EXIT
for path in /usr/include/vantrel /usr/bin/vantrel /usr/share/doc/libvantrel1 \
            /usr/lib/python3/dist-packages/vantrel \
            /usr/share/man/man1/vantrel.1.gz /usr/share/vantrel; do
  if [ -e "$path" ]; then
    echo "debian: $path is left after the purge" >&2
    exit 1
  fi
done

# The Python sdist builds on its own: the wheel built from the unpacked
# sdist, away from the source tree, carries the module and the LICENSE.
sdist="$(mktemp -d)"
/usr/bin/python3 -m build --sdist --no-isolation -o "$sdist" python >/dev/null
tar -xzf "$sdist"/vantrel-*.tar.gz -C "$sdist"
(cd "$sdist"/vantrel-*/ && CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}" \
  /usr/bin/python3 -m pip wheel --no-build-isolation --no-deps -q -w "$sdist/wheel" . >/dev/null)
/usr/bin/python3 -c '
import re, sys, zipfile
names = zipfile.ZipFile(sys.argv[1]).namelist()
assert any(n.endswith(".dist-info/LICENSE") for n in names), names
assert any(re.fullmatch(r"vantrel/_vantrel\..*\.so", n) for n in names), names
' "$sdist"/wheel/vantrel-*.whl
rm -rf "$sdist"
echo "debian: the Python sdist builds a wheel"
echo "debian: ok"
