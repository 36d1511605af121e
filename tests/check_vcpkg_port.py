#!/usr/bin/python3
"""Checks the vcpkg port in ports/vantrel as far as it can be checked
without vcpkg (the Windows workflow installs it with vcpkg itself):

- vcpkg.json parses, names the port after its folder, carries the project's
  version and licence, and depends on the vcpkg-cmake helpers as host tools;
- portfile.cmake builds only a shared library, passes only options that
  the project has, and decides every one of the project's option()s (a new
  option that changes what is built or installed must be decided there);
  the CMake package goes where vcpkg_cmake_config_fixup looks for it; the
  copyright file and the usage file exist;
- a plain CMake configure with the portfile's options (and the variables
  vcpkg itself sets), build and install gives the layout vcpkg expects:
  the library in lib/, the header in include/, the CMake package in
  share/vantrel/, and nothing else; and a separate project finds it there
  with find_package(Vantrel) and runs.

    check_vcpkg_port.py <source dir> <work dir> <cmake> <generator> <C++ compiler>
"""
import json
import os
import re
import shutil
import subprocess
import sys

PORT = "vantrel"


def project_version(source_dir):
    with open(os.path.join(source_dir, "CMakeLists.txt"), encoding="utf-8") as f:
        match = re.search(r"project\(\s*\w+\s+VERSION\s+([\d.]+)", f.read())
    return match.group(1) if match else None


def starts_a_project(directory):
    """Whether directory's CMakeLists.txt is a project of its own (a test
    consumer), whose options are not the library's."""
    path = os.path.join(directory, "CMakeLists.txt")
    if not os.path.isfile(path):
        return False
    with open(path, encoding="utf-8") as f:
        return re.search(r"^\s*project\(", f.read(), re.M) is not None


def project_options(source_dir):
    """The project's option()s and other cache variables, by name."""
    options, cache = set(), set()
    for root, dirs, files in os.walk(source_dir):
        dirs[:] = [d for d in dirs
                   if not d.startswith(("build", ".")) and d != "ports"
                   and not starts_a_project(os.path.join(root, d))]
        for name in files:
            if name != "CMakeLists.txt" and not name.endswith(".cmake"):
                continue
            with open(os.path.join(root, name), encoding="utf-8") as f:
                text = f.read()
            options.update(re.findall(r"^\s*option\(\s*(\w+)", text, re.M))
            cache.update(re.findall(r"^\s*set\(\s*(\w+)\s[^)]*?\bCACHE\b", text, re.M))
    return options, cache


def call_block(text, command):
    """The arguments of the first call of `command` (no nested parentheses
    other than balanced ones)."""
    start = re.search(r"^\s*%s\(" % re.escape(command), text, re.M)
    if not start:
        return None
    depth, i = 1, start.end()
    while depth and i < len(text):
        depth += {"(": 1, ")": -1}.get(text[i], 0)
        i += 1
    return text[start.end():i - 1]


def check_manifest(port_dir, source_dir, errors):
    path = os.path.join(port_dir, "vcpkg.json")
    try:
        with open(path, encoding="utf-8") as f:
            manifest = json.load(f)
    except (OSError, ValueError) as error:
        errors.append("vcpkg.json: %s" % error)
        return
    if not isinstance(manifest, dict):
        errors.append("vcpkg.json: not an object")
        return
    if manifest.get("name") != os.path.basename(port_dir):
        errors.append("vcpkg.json: name %r is not the port folder's %r"
                      % (manifest.get("name"), os.path.basename(port_dir)))
    versions = [k for k in ("version", "version-semver", "version-string",
                            "version-date") if k in manifest]
    if len(versions) != 1:
        errors.append("vcpkg.json: needs exactly one version field, has %s" % versions)
    elif manifest[versions[0]] != project_version(source_dir):
        errors.append("vcpkg.json: version %s, the project's is %s"
                      % (manifest[versions[0]], project_version(source_dir)))
    for field in ("description", "license", "supports"):
        if not isinstance(manifest.get(field), str) or not manifest[field]:
            errors.append("vcpkg.json: no %s" % field)
    with open(os.path.join(source_dir, "LICENSE"), encoding="utf-8") as f:
        licence = f.readline().split()
    if licence and manifest.get("license") != licence[0]:
        errors.append("vcpkg.json: license %r, LICENSE says %r"
                      % (manifest.get("license"), licence[0]))
    hosts = {d["name"] for d in manifest.get("dependencies", [])
             if isinstance(d, dict) and d.get("host") is True}
    for helper in ("vcpkg-cmake", "vcpkg-cmake-config"):
        if helper not in hosts:
            errors.append("vcpkg.json: %s is not a host dependency" % helper)


def check_portfile(port_dir, source_dir, errors):
    """Returns the -D options the portfile passes, as a dict."""
    with open(os.path.join(port_dir, "portfile.cmake"), encoding="utf-8") as f:
        text = f.read()
    # Comments out, so that only what the portfile does counts.
    text = re.sub(r"#[^\n]*", "", text)
    if not re.search(r"vcpkg_check_linkage\(\s*ONLY_DYNAMIC_LIBRARY\s*\)", text):
        errors.append("portfile: no vcpkg_check_linkage(ONLY_DYNAMIC_LIBRARY)")
    for command in ("vcpkg_cmake_install", "vcpkg_cmake_config_fixup",
                    "vcpkg_install_copyright"):
        if call_block(text, command) is None:
            errors.append("portfile: no %s()" % command)
    configure = call_block(text, "vcpkg_cmake_configure")
    if configure is None:
        errors.append("portfile: no vcpkg_cmake_configure()")
        return {}
    passed = dict(re.findall(r"-D(\w+)(?::\w+)?=(\S*)", configure))

    options, cache = project_options(source_dir)
    for name in sorted(passed):
        if name not in options and name not in cache and not name.startswith("CMAKE_"):
            errors.append("portfile: passes -D%s, which the project does not have" % name)
    for name in sorted(options):
        if name.startswith("VANTREL_") and name not in passed:
            errors.append("portfile: does not decide the project's option %s" % name)

    fixup = call_block(text, "vcpkg_cmake_config_fixup") or ""
    package = re.search(r"PACKAGE_NAME\s+(\S+)", fixup)
    config_path = re.search(r"CONFIG_PATH\s+(\S+)", fixup)
    expected = (config_path.group(1) if config_path
                else "share/%s" % (package.group(1) if package else PORT))
    if passed.get("VANTREL_INSTALL_CMAKEDIR", "lib/cmake/Vantrel") != expected:
        errors.append("portfile: the CMake package is installed in %s, the fixup reads %s"
                      % (passed.get("VANTREL_INSTALL_CMAKEDIR", "lib/cmake/Vantrel"), expected))

    copyright_files = re.findall(r'"\$\{SOURCE_PATH\}/([^"]+)"',
                                 call_block(text, "vcpkg_install_copyright") or "")
    if not copyright_files:
        errors.append("portfile: vcpkg_install_copyright names no file of the sources")
    for name in copyright_files:
        if not os.path.isfile(os.path.join(source_dir, name)):
            errors.append("portfile: copyright file %s does not exist" % name)
    if 'CMAKE_CURRENT_LIST_DIR}/usage"' in text:
        with open(os.path.join(port_dir, "usage"), encoding="utf-8") as f:
            usage = f.read()
        for needed in ("find_package(Vantrel CONFIG REQUIRED)", "Vantrel::vantrel"):
            if needed not in usage:
                errors.append("usage: does not say %s" % needed)
    else:
        errors.append("portfile: does not install the usage file")
    return passed


CMAKE = "cmake"


def run(command, **kwargs):
    print("+ " + " ".join(command), flush=True)
    subprocess.run(command, check=True, **kwargs)


def check_install(source_dir, work_dir, generator, cxx, passed, errors):
    shutil.rmtree(work_dir, ignore_errors=True)
    build, prefix = os.path.join(work_dir, "build"), os.path.join(work_dir, "prefix")
    # What vcpkg_cmake_configure sets for a release build of a dynamic
    # triplet, then the portfile's options.
    configure = [CMAKE, "-S", source_dir, "-B", build, "-G", generator,
                 "-DCMAKE_CXX_COMPILER=" + cxx, "-DCMAKE_BUILD_TYPE=Release",
                 "-DCMAKE_INSTALL_PREFIX=" + prefix, "-DCMAKE_INSTALL_LIBDIR=lib",
                 "-DCMAKE_INSTALL_BINDIR=bin", "-DBUILD_SHARED_LIBS=ON"]
    configure += ["-D%s=%s" % item for item in sorted(passed.items())]
    run(configure)
    run([CMAKE, "--build", build])
    run([CMAKE, "--install", build])

    installed = set()
    for root, _, files in os.walk(prefix):
        for name in files:
            installed.add(os.path.relpath(os.path.join(root, name), prefix))
    for needed in ("include/vantrel/alert_definitions.h",
                   "share/vantrel/VantrelConfig.cmake",
                   "share/vantrel/VantrelConfigVersion.cmake",
                   "share/vantrel/VantrelTargets.cmake",
                   "share/vantrel/VantrelTargets-release.cmake",
                   "lib/pkgconfig/vantrel.pc"):
        if needed not in installed:
            errors.append("install: no %s" % needed)
    if not any(re.fullmatch(r"lib/libvantrel\.so[.\d]*", f) for f in installed):
        errors.append("install: no lib/libvantrel.so")
    # The libraries (the C++ one and the C interface's), their headers,
    # their packages and the licence (which the portfile moves to
    # share/vantrel/copyright): nothing else.
    allowed = re.compile(r"(lib/libvantrel(_c)?\.so[.\d]*|lib/pkgconfig/vantrel(-c)?\.pc|"
                         r"include/vantrel/[\w.]+\.(h|hpp)|share/vantrel/[\w.-]+\.cmake|"
                         r"share/doc/Vantrel/LICENSE)")
    for name in sorted(installed):
        if not allowed.fullmatch(name):
            errors.append("install: %s is not a file of the port's layout" % name)

    consumer = os.path.join(source_dir, "tests", "package_consumer")
    consumer_build = os.path.join(work_dir, "consumer")
    run([CMAKE, "-S", consumer, "-B", consumer_build, "-G", generator,
         "-DCMAKE_CXX_COMPILER=" + cxx, "-DCMAKE_BUILD_TYPE=Release",
         "-DCMAKE_PREFIX_PATH=" + prefix])
    run([CMAKE, "--build", consumer_build])
    run([os.path.join(consumer_build, "vantrel_consumer")])


def main(source_dir, work_dir, cmake, generator, cxx):
    global CMAKE
    CMAKE = cmake
    port_dir = os.path.join(source_dir, "ports", PORT)
    errors = []
    check_manifest(port_dir, source_dir, errors)
    passed = check_portfile(port_dir, source_dir, errors)
    if not errors:
        try:
            check_install(source_dir, work_dir, generator, cxx, passed, errors)
        except subprocess.CalledProcessError as error:
            errors.append("failed (%d): %s" % (error.returncode, " ".join(error.cmd)))
    for error in errors:
        print("ports/%s: %s" % (PORT, error))
    if errors:
        return 1
    print("ports/%s: manifest, %d portfile options and the installed layout as vcpkg expects"
          % (PORT, len(passed)))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 6:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
