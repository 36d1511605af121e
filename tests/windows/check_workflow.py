#!/usr/bin/python3
"""Checks the Windows workflow for the public mirror, which only GitHub can
run: that it parses as YAML and that what it names exists, and that none
of its steps can pass having checked nothing.

    check_workflow.py <source dir> <workflow file>

What it names:
- CMake presets, as `cmake --preset X` (configure), `cmake --build
  --preset X` (build), `ctest --preset X` (test), `cmake --workflow
  --preset X` (workflow) or `cpack --preset X` (package);
- paths of the repository, as words that begin with one of its top-level
  folders (build output under build/ excepted; a path joined to another
  folder, `Join-Path $env:X sub\\dir`, is that folder's);
- jobs, in `needs`; artifacts, in download-artifact (made by an
  upload-artifact step of a job it needs); actions, with a version
  (`owner/name@v4`); vcpkg ports, in `vcpkg install P --overlay-ports=D`;
- runner images: GitHub's own labels, resolved through the job's matrix;
  a job that configures with the msvc-native preset runs on both a pinned
  Windows image (windows-20xx) and windows-latest.

Steps that must fail loudly:
- every upload-artifact has `if-no-files-found: error` and a path inside
  the checkout (not an expression, whose value the step cannot check);
- no step runs in cmd (which goes on after a failing command); a
  PowerShell step of more than one command sets
  $PSNativeCommandUseErrorActionPreference first (PowerShell otherwise
  looks only at the last program's exit code);
- dumpbin runs only through tests/windows/dumpbin_check.ps1, which fails
  when it examined no file.
"""
import json
import os
import re
import sys

import yaml

TOP_LEVEL = ("tests", "scripts", "cmake", "src", "include", "support",
             "docs", "fuzz", "examples", "testing", "reference", "tools",
             "ports", ".github")

# GitHub-hosted runner labels.
IMAGES = {"ubuntu-latest", "ubuntu-22.04", "ubuntu-24.04",
          "windows-latest", "windows-2022", "windows-2025"}

STRICT_POWERSHELL = "$PSNativeCommandUseErrorActionPreference = $true"


def preset_names(source_dir):
    with open(os.path.join(source_dir, "CMakePresets.json"), encoding="utf-8") as f:
        presets = json.load(f)
    return {
        "configure": {p["name"] for p in presets.get("configurePresets", [])},
        "build": {p["name"] for p in presets.get("buildPresets", [])},
        "test": {p["name"] for p in presets.get("testPresets", [])},
        "workflow": {p["name"] for p in presets.get("workflowPresets", [])},
        "package": {p["name"] for p in presets.get("packagePresets", [])},
    }


def images(job):
    """The runner labels a job runs on, its matrix resolved."""
    runs_on = job.get("runs-on")
    labels = runs_on if isinstance(runs_on, list) else [runs_on]
    result = []
    matrix = (job.get("strategy") or {}).get("matrix") or {}
    for label in labels:
        match = re.fullmatch(r"\$\{\{\s*matrix\.(\w+)\s*\}\}", str(label))
        if match:
            values = matrix.get(match.group(1))
            result.extend(values if isinstance(values, list) else [None])
        else:
            result.append(label)
    return result


def step_shell(workflow, job, step, job_images):
    for source in (step, (job.get("defaults") or {}).get("run") or {},
                   (workflow.get("defaults") or {}).get("run") or {}):
        if source.get("shell"):
            return source["shell"].split()[0]
    windows = [i for i in job_images if i and i.startswith("windows")]
    return "pwsh" if windows and len(windows) == len(job_images) else "bash"


def commands(text):
    """The commands of a script, one a line: not blank lines, comments or
    the closing brace of a block; a line that ends in a pipe or a line
    continuation (\\ or `) joined with the next."""
    result = []
    continued = False
    for line in text.splitlines():
        stripped = line.strip()
        if not stripped or stripped.startswith("#") or stripped in ("}", ")"):
            continue
        if continued:
            result[-1] += " " + stripped
        else:
            result.append(line)
        continued = stripped.endswith(("|", "\\", "`"))
    return result


def check_run(text, shell, kinds, source_dir, errors, counts):
    if shell == "cmd":
        errors.append("a step runs in cmd, which goes on after a failing command")
    lines = commands(text)
    if shell in ("pwsh", "powershell") and len(lines) > 1 and lines[0].strip() != STRICT_POWERSHELL:
        errors.append("a PowerShell step of %d commands does not begin with %s (%s)"
                      % (len(lines), STRICT_POWERSHELL, lines[0].strip()))
    for line in lines:
        if re.search(r"(?:^|[;&|(])\s*dumpbin(?:\.exe)?(?![\w.-])", line):
            errors.append("dumpbin without dumpbin_check.ps1 (%s)" % line.strip())
        for match in re.finditer(r"\b(cmake|ctest|cpack)\b([^|&;]*?)--preset[ =]([\w.-]+)", line):
            tool, between, name = match.groups()
            if tool == "ctest":
                kind = "test"
            elif tool == "cpack":
                kind = "package"
            elif "--build" in between:
                kind = "build"
            elif "--workflow" in between:
                kind = "workflow"
            else:
                kind = "configure"
            counts["presets"] += 1
            if name not in kinds[kind]:
                errors.append("%s preset %s does not exist (%s)" % (kind, name, line.strip()))
        for match in re.finditer(r"\binstall\s+([\w-]+)(?::[\w-]+)?\s.*?--overlay-ports[ =](\S+)", line):
            port, overlay = match.groups()
            counts["ports"] += 1
            for name in ("vcpkg.json", "portfile.cmake"):
                if not os.path.isfile(os.path.join(source_dir, overlay, port, name)):
                    errors.append("vcpkg port %s has no %s in %s (%s)"
                                  % (port, name, overlay, line.strip()))
        for match in re.finditer(r"[\w.\\/-]+", line):
            before = line[:match.start()]
            if re.search(r"Join-Path\s+\S+\s+$", before) or re.search(r"\$[\w:{}]+[\\/]$", before):
                continue  # a path inside another folder
            path = re.sub(r"^\.[\\/]", "", match.group(0)).replace("\\", "/")
            if path.split("/")[0] in TOP_LEVEL and "/" in path:
                counts["paths"] += 1
                if not os.path.exists(os.path.join(source_dir, path)):
                    errors.append("path %s does not exist (%s)" % (path, line.strip()))


def check(source_dir, workflow):
    errors = []
    if not isinstance(workflow, dict) or not workflow.get("jobs"):
        return ["no jobs"], None
    # YAML 1.1 reads the key `on` as true.
    if "on" not in workflow and True not in workflow:
        errors.append("no trigger (on:)")
    kinds = preset_names(source_dir)
    jobs = workflow["jobs"]
    counts = {"presets": 0, "paths": 0, "ports": 0}

    uploads = {}
    for name, job in jobs.items():
        uploads[name] = {str((step.get("with") or {}).get("name"))
                         for step in job.get("steps") or []
                         if str(step.get("uses", "")).startswith("actions/upload-artifact@")}

    for name, job in jobs.items():
        steps = job.get("steps")
        if not steps:
            errors.append("job %s has no steps" % name)
            continue
        needs = job.get("needs", [])
        needs = [needs] if isinstance(needs, str) else needs
        for needed in needs:
            if needed not in jobs:
                errors.append("job %s needs %s, which does not exist" % (name, needed))
        job_images = images(job)
        if not job_images:
            errors.append("job %s has no runs-on" % name)
        for image in job_images:
            if image not in IMAGES:
                errors.append("job %s runs on %s, not one of GitHub's images" % (name, image))

        uses_native = False
        for step in steps:
            uses = step.get("uses")
            options = step.get("with") or {}
            if uses:
                if not re.fullmatch(r"[\w.-]+/[\w./-]+@[\w.-]+", str(uses)):
                    errors.append("job %s uses %s without a version" % (name, uses))
                if str(uses).startswith("actions/upload-artifact@"):
                    if options.get("if-no-files-found") != "error":
                        errors.append("job %s uploads %s without if-no-files-found: error"
                                      % (name, options.get("name")))
                    for path in str(options.get("path", "")).split("\n"):
                        path = path.strip()
                        if path and (path.startswith(("/", "${{", "~")) or ":" in path):
                            errors.append("job %s uploads %s, not a path in the checkout"
                                          % (name, path))
                    if not options.get("path"):
                        errors.append("job %s uploads no path" % name)
                if str(uses).startswith("actions/download-artifact@"):
                    artifact = str(options.get("name"))
                    if not any(artifact in uploads.get(n, ()) for n in needs):
                        errors.append("job %s downloads %s, which no job it needs uploads"
                                      % (name, artifact))
            if "run" in step:
                text = str(step["run"])
                if re.search(r"\bcmake\s+--preset[ =]msvc-native\b", text):
                    uses_native = True
                check_run(text, step_shell(workflow, job, step, job_images),
                          kinds, source_dir, errors, counts)
        if uses_native:
            pinned = [i for i in job_images if i and re.fullmatch(r"windows-20\d\d", i)]
            if not pinned or "windows-latest" not in job_images:
                errors.append("job %s configures msvc-native on %s: it needs a pinned "
                              "Windows image and windows-latest" % (name, job_images))
    if counts["presets"] == 0:
        errors.append("names no preset")
    return errors, counts


def main(source_dir, workflow_file):
    with open(workflow_file, encoding="utf-8") as f:
        workflow = yaml.safe_load(f)
    errors, counts = check(source_dir, workflow)
    for error in errors:
        print("%s: %s" % (workflow_file, error))
    if errors:
        return 1
    print("%s: %d jobs, %d preset names, %d paths and %d vcpkg ports, all present"
          % (workflow_file, len(workflow["jobs"]), counts["presets"], counts["paths"],
             counts["ports"]))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
