#!/usr/bin/python3
"""The inspector page in a real browser: headless Chromium opens the built page
from disk and every verdict, record and dropped span it shows is compared with
what the native `vantrel` tool of the same build says about the same text.

Usage: test_inspector.py --page build/web/web/inspector.html --vantrel PATH
                         [--artifacts DIR] [--readme-shot PNG]
Exit 77 (skipped) when Chromium, chromedriver or selenium is not installed.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"

WORKED = ("--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@AND@@ "
          "--#--Beta--#----{--y--}----{--k2==b1--}--")

# Texts that do not come back whole: the page must mark as dropped exactly
# the bytes the tool names, say the causes in the tool's words, and give the
# tool's verdict.
LOSSY = [
    ("text outside the marks everywhere",
     "xx--#--A--#--yy--{--d--}--zz--{--k==v--}--ww"),
    ("blank before a rule and junk after it",
     "  --#--Alpha--#----{--x--}----{--k1==a1--}-- trailing"),
    ("junk between two joined conditions",
     "--#--A--#----{--x--}----}--junk @@AND@@ --#--B--#--mid--{--y--}----}--"),
    ("both joiners: the and-joined condition lost",
     "--#--A--#----{--x--}----{--k==a--}-- @@AND@@ --#--B--#----{--y--}----{--k==b--}-- "
     "@@OR@@ --#--C--#----{--z--}----{--k==c--}--"),
    ("a closing mark inside a value", "--#--A--#----{--x--}----{--k==a--}--junk--}--"),
    ("a second condition without a joiner",
     "--#--A--#----{--x--}----{--k==a--}----#--B--#----{--y--}----}--"),
    ("no blanks around the joiner (nothing dropped)",
     "--#--A--#----{--x--}----{--k==a--}--@@AND@@--#--B--#----{--y--}----}--"),
    ("the rule of the README screenshot",
     "note: --#--CpuHigh--#----{--host-7--}----{--level==90--,--95--}-- "
     "@@AND@@ --#--Disk--#--  --{--/var--}----{--free==10--}--(old)"),
]


def skip(reason):
    print("SKIP: " + reason)
    sys.exit(SKIP)


try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    skip("python3-selenium is not installed (apt-get install python3-selenium)")


def run_tool(vantrel, args, data):
    out = subprocess.run([vantrel] + args, input=data, capture_output=True, check=False)
    if out.returncode not in (0, 1):
        raise AssertionError("vantrel %s failed: %s" % (args, out.stderr.decode()))
    return out.stdout


def merged(spans):
    """Byte ranges as a sorted list of maximal [start, end) runs."""
    out = []
    for s, e in sorted(spans):
        if e <= s:
            continue
        if out and s <= out[-1][1]:
            out[-1][1] = max(out[-1][1], e)
        else:
            out.append([s, e])
    return out


class Page:
    def __init__(self, driver):
        self.d = driver

    def js(self, script, *args):
        return self.d.execute_script(script, *args)

    def wait(self, cond, timeout=20, what="condition"):
        try:
            return WebDriverWait(self.d, timeout, poll_frequency=0.05).until(lambda d: cond())
        except Exception as e:
            raise AssertionError("timed out waiting for " + what) from e

    def paste(self, text_or_bytes):
        """Puts a rule in the box as a paste does (one input event), or, for
        bytes, as opening a file does. Waits until the page has shown it."""
        self.js("document.getElementById('verdict').textContent = ''")
        if isinstance(text_or_bytes, bytes):
            self.js("window.vantrelInspector.setRule(new Uint8Array(arguments[0]))",
                    list(text_or_bytes))
        else:
            self.js("const t = document.getElementById('rule-input'); t.value = arguments[0];"
                    "t.dispatchEvent(new Event('input', {bubbles: true}));", text_or_bytes)
        self.wait(lambda: self.verdict() != "", what="a verdict")

    def verdict(self):
        return self.js("return document.getElementById('verdict').textContent")

    def parts(self):
        return self.js("return [...document.querySelectorAll('#rule-view [data-role]')]"
                       ".map(e => [e.dataset.role, +e.dataset.start, +e.dataset.end])")

    def causes(self):
        return self.js("return [...document.querySelectorAll('#causes li')].map(e => e.textContent)")

    def shot(self, artifacts, name):
        if artifacts:
            self.d.save_screenshot(os.path.join(artifacts, name))


def table_rows(page):
    """The records table as (condition name, detail, key, [values]) per parameter."""
    return page.js("""
      const out = [];
      let name = null, detail = null;
      for (const tr of document.querySelectorAll('#records tbody tr')) {
        const c = tr.querySelector('td.condition input'), d = tr.querySelector('td.detail input');
        if (c) name = c.value;
        if (d) detail = d.value;
        const k = tr.querySelector('td.key input');
        const vals = [...tr.querySelectorAll('td.values input')].map(i => i.value);
        out.push([name, detail, k ? k.value : null, vals]);
      }
      return out;""")


def expected_rows(records):
    rows = []
    for d in records["definitions"]:
        if not d["params"]:
            rows.append([d["name"], d["detail"], None, []])
        for p in d["params"]:
            rows.append([d["name"], d["detail"], p["key"], p["values"]])
    return rows


def test_worked_example(page, tool, artifacts):
    box = page.d.find_element(By.ID, "rule-input")
    box.send_keys(Keys.CONTROL, "a")
    box.send_keys(Keys.DELETE)
    box.send_keys(WORKED)
    page.wait(lambda: page.js("return document.getElementById('rule-input').value") == WORKED
              and page.verdict() == "ok", what="the worked example's verdict")
    records = json.loads(tool(["parse"], WORKED.encode()))
    assert table_rows(page) == expected_rows(records), table_rows(page)
    assert page.js("return +document.getElementById('combination').value") == records["combination"]
    written = page.js("return document.getElementById('written').textContent")
    assert written == WORKED, written
    roles = [p[0] for p in page.parts()]
    for role in ("mark", "name", "detail", "key", "value", "joiner"):
        assert role in roles, (role, roles)
    assert "dropped" not in roles and "rejected" not in roles
    # Focusing a part says its role and byte range.
    first_value = page.d.find_element(By.CSS_SELECTOR, "#rule-view [data-role='value']")
    page.js("arguments[0].focus()", first_value)
    info = page.js("return document.getElementById('part-info').textContent")
    assert info.startswith("value, bytes %s to %s" % (first_value.get_attribute("data-start"),
                                                      first_value.get_attribute("data-end"))), info
    # The arrow keys move from part to part, and the page says where focus is.
    first = page.d.find_element(By.CSS_SELECTOR, "#rule-view [data-role]")
    page.js("arguments[0].focus()", first)
    page.d.switch_to.active_element.send_keys(Keys.ARROW_RIGHT, Keys.ARROW_RIGHT)
    role, start, end = page.parts()[2]
    info = page.js("return document.getElementById('part-info').textContent")
    assert info.startswith("%s, bytes %d to %d" % (role, start, end)), (info, page.parts()[2])
    page.shot(artifacts, "inspector-worked-example.png")
    print("worked example: %d records rows, verdict ok" % len(expected_rows(records)))


def test_lossy_texts(page, tool, artifacts):
    for name, text in LOSSY:
        report = json.loads(tool(["check", "--json"], text.encode()))
        assert report["status"] == "lossy", (name, report)
        page.paste(text)
        assert page.verdict() == "lossy", (name, page.verdict())
        parts = page.parts()
        check_layout(parts, len(text.encode()), name)
        dropped = merged([(s, e) for r, s, e in parts if r == "dropped"])
        named = merged([(c["offset"], c["offset"] + c["size"]) for c in report["causes"]])
        assert dropped == named, (name, dropped, named)
        assert page.causes() == [c["cause"] for c in report["causes"]], (name, page.causes())
        offset = report["difference"]["offset"]
        mark = page.js("const m = document.getElementById('written-diff'); return m && m.title")
        assert mark == "first difference, byte %d" % offset, (name, mark)
        print("lossy: %-40s dropped spans %s = the tool's" % (name, dropped))
    page.shot(artifacts, "inspector-lossy.png")


def check_layout(parts, size, name):
    last = 0
    for role, s, e in parts:
        assert last <= s <= e <= size, (name, parts)
        last = e


def test_rejected_and_bytes(page, tool, artifacts):
    rejected = "--#--A--#----{--x--}----{--k==a--}-- @@AND@@ --#--Delta--#----{--w--}----{--k4--}--"
    report = json.loads(tool(["check", "--json"], rejected.encode()))
    page.paste(rejected)
    assert page.verdict() == "rejected" == report["status"]
    assert page.causes() == [report["message"]], page.causes()
    starts = [s for r, s, e in page.parts() if r == "rejected"]
    assert starts == [report["item_offset"]], (starts, report)
    # Bytes that are not UTF-8 are shown as such and checked as they are.
    raw = b"--#--Caf\xe9--#----{--x\xff--}----{--k==v--}--"
    report = json.loads(tool(["check", "--json", "--bytes", "latin1"], raw))
    page.paste(raw)
    assert page.verdict() == report["status"], (page.verdict(), report)
    badges = page.js("return [...document.querySelectorAll('#rule-view .badge')].map(b => b.textContent)")
    assert badges == ["\\xE9", "\\xFF"], badges
    names = page.js("return [...document.querySelectorAll('#rule-view [data-role=name]')]"
                    ".map(e => [+e.dataset.start, +e.dataset.end])")
    assert names == [[5, 9]], names
    page.shot(artifacts, "inspector-bytes.png")
    print("rejected item at byte %d; non-UTF-8 bytes shown as %s" % (starts[0], badges))


def test_edit_records(page, tool, artifacts):
    page.paste(WORKED)
    value = page.d.find_element(By.CSS_SELECTOR, "input[aria-label='condition 1 parameter 1 value 1']")
    value.send_keys(Keys.END, "--,--z")
    page.wait(lambda: page.js("return document.getElementById('edit-warning').textContent") != "",
              what="the records check's warning")
    records = json.loads(tool(["parse"], WORKED.encode()))
    records["definitions"][0]["params"][0]["values"][0] = "a1--,--z"
    doc = json.dumps(records).encode()
    check = json.loads(tool(["check", "--json", "--input", "json"], doc))
    warning = page.js("return document.getElementById('edit-warning').textContent")
    assert check["status"] == "lossy"
    for p in check["problems"]:
        assert p["path"] + ": " + p["cause"] in warning, (p, warning)
    written = tool(["format"], doc).decode()
    shown = page.js("return document.getElementById('edit-written').textContent")
    assert shown == written, (shown, written)
    page.shot(artifacts, "inspector-edit-warning.png")
    print("edit: %d problems warned, written text = vantrel format's" % len(check["problems"]))


def test_large_rule(page, tool, artifacts):
    cond = "--#--Cond%06d--#----{--detail--}----{--key==value-one--,--value-two--}--"
    pieces, size, i = [], 0, 0
    while size < 1_000_000:
        pieces.append(cond % i)
        size += len(pieces[-1]) + 9
        i += 1
    text = " @@AND@@ ".join(pieces) + " trailing"
    report = json.loads(tool(["check", "--json"], text.encode()))
    start = time.monotonic()
    page.paste(text)
    page.wait(lambda: page.js("const v = document.querySelectorAll('#rule-view [data-role]');"
                              "return v.length && +v[v.length - 1].dataset.end") == len(text),
              timeout=30, what="the 1 MB rule's parts")
    took = time.monotonic() - start
    assert page.verdict() == report["status"] == "lossy"
    assert took < 15, "a 1 MB rule took %.1f s to show" % took
    print("1 MB rule (%d bytes, %d conditions) shown in %.2f s" % (len(text), i, took))


# Small stores in each form the page opens: every row's status (and id) must
# be the one `vantrel check --batch FORM` gives for the same file.
STORE_FORMS = [
    ("lines", "rules.txt",
     b"--#--A--#----{--x--}----}--\n\nxx--#--B--#----{--y--}----}--\r\n"
     b"--#--C--#----{--z--}----{--k--}--\n--#--D\xe9--#----{--w--}----}--\n"),
    ("tsv", "rules.tsv",
     b"r1\t--#--A--#----{--x--}----}--\nno tab here\nr3\tx\ty\n"
     b"r4\t--#--C--#----{--z--}----{--k--}--\n"),
    ("jsonl", "rules.jsonl",
     b'{"id": "j1", "text": "--#--A--#----{--x--}----}--"}\n\n'
     b'{"id": 2, "text": "junk--#--B--#----{--y--}----}--"}\n'
     b'{"id": "j3", "combination": 1, "definitions": [{"name": "a--,--b", "detail": "", "params": []},'
     b' {"name": "c", "detail": "", "params": []}]}\n'
     b'{"id": "j4", "combination": 0, "definitions": [{"name": "a", "detail": "", "params": []},'
     b' {"name": "c", "detail": "", "params": []}]}\n'),
]


def store_rows(page):
    return page.js("return [...document.querySelectorAll('#store-list .row')]"
                   ".map(r => r.textContent.split(' \u2014 ').slice(0, 2))")


def test_store_forms(page, tool, artifacts, workdir):
    page.d.find_element(By.ID, "tab-store").click()
    for form, name, data in STORE_FORMS:
        args = ["check", "--batch", form] + (["--bytes", "latin1"] if b"\xe9" in data else [])
        expected = [json.loads(line) for line in tool(args, data).splitlines()]
        path = os.path.join(workdir, name)
        with open(path, "wb") as f:
            f.write(data)
        page.d.find_element(By.ID, "store-file").send_keys(path)
        page.wait(lambda: name in page.js("return document.getElementById('store-progress').textContent"),
                  what="the %s store" % form)
        rows = store_rows(page)
        assert [r[0] for r in rows] == [e["status"] for e in expected], (form, rows, expected)
        for r, e in zip(rows, expected):
            if e["id"] is not None:
                assert r[1] == str(e["id"]), (form, r, e)
        print("store %-5s: %s = the tool's" % (form, [r[0] for r in rows]))


def test_store(page, tool, artifacts, workdir):
    texts = []
    for i in range(100_000):
        if i % 10 == 3:
            texts.append("xx--#--R%d--#----{--d--}----}--" % i)              # lossy
        elif i % 25 == 7:
            texts.append("--#--R%d--#----{--d--}----{--k--}--" % i)           # rejected
        else:
            texts.append("--#--R%d--#----{--d--}----{--k==v%d--}--" % (i, i))  # ok
    export = os.path.join(workdir, "export.txt")
    with open(export, "w") as f:
        f.write("\n".join(texts) + "\n")
    report_path = os.path.join(workdir, "report.jsonl")
    with open(export, "rb") as f:
        done = subprocess.run([tool.path, "check", "--batch", "lines"], stdin=f,
                              capture_output=True, check=False)
    report, summary = done.stdout, done.stderr.decode()
    with open(report_path, "wb") as f:
        f.write(report)
    counts = {}
    for line in report.splitlines():
        status = json.loads(line)["status"]
        counts[status] = counts.get(status, 0) + 1

    page.d.find_element(By.ID, "tab-store").click()
    # The longest gap between frames while the file loads: the page must not freeze.
    page.js("window.__gaps = {max: 0, last: performance.now(), on: true};"
            "(function f(t) { const g = window.__gaps; if (!g.on) return;"
            "  g.max = Math.max(g.max, t - g.last); g.last = t; requestAnimationFrame(f); })(performance.now());")
    for path, what in ((export, "export"), (report_path, "report")):
        start = time.monotonic()
        page.d.find_element(By.ID, "store-file").send_keys(path)
        page.wait(lambda: page.js("return document.getElementById('store-progress').textContent")
                  .startswith("100000 rules from " + os.path.basename(path)), timeout=120,
                  what="the %s to load" % what)
        print("store: %s of 100,000 rules loaded in %.2f s" % (what, time.monotonic() - start))
    gap = page.js("window.__gaps.on = false; return window.__gaps.max")
    assert gap < 2000, "the page froze for %.0f ms while loading" % gap
    shown = page.js("return [...document.querySelectorAll('#store-counts [data-status]')]"
                    ".map(e => e.textContent)")
    assert sorted(shown) == sorted("%s: %d" % kv for kv in counts.items()), (shown, counts)
    causes = page.js("return [...document.querySelectorAll('#store-counts [data-cause]')]"
                     ".map(e => e.textContent)")
    assert sorted(causes) == sorted(cause_counts(summary)), (causes, summary)
    page.js("const s = document.getElementById('store-status'); s.value = 'lossy';"
            "s.dispatchEvent(new Event('change'));")
    page.wait(lambda: page.js("return +document.getElementById('store-shown').dataset.count")
              == counts["lossy"], what="the lossy filter")
    drawn = page.js("return document.querySelectorAll('#store-list .row').length")
    assert 0 < drawn < 100, drawn
    page.shot(artifacts, "inspector-store.png")
    # Open the first lossy rule: the report's row is joined with its export's text.
    page.d.find_element(By.CSS_SELECTOR, "#store-list .row").click()
    page.wait(lambda: page.verdict() == "lossy", what="the opened rule's verdict")
    assert page.js("return document.getElementById('rule-input').value") == texts[3]
    print("store: counts %s, longest frame gap %.0f ms, %d rows drawn, filter and open work"
          % (counts, gap, drawn))


def cause_counts(summary):
    """'kind: n' for each cause the tool's batch summary counts."""
    line = [l for l in summary.splitlines() if l.startswith("vantrel check: causes: ")][0]
    out = []
    for item in line[len("vantrel check: causes: "):].split(", "):
        n, kind = item.split(" ", 1)
        out.append("%s: %s" % (kind, n))
    return out


def network_requests(driver, page_url):
    """URLs the page asked for besides itself (from Chrome's performance log)."""
    urls = []
    for entry in driver.get_log("performance"):
        msg = json.loads(entry["message"])["message"]
        if msg.get("method") in ("Network.requestWillBeSent", "Network.webSocketCreated"):
            url = msg["params"].get("request", {}).get("url") or msg["params"].get("url", "")
            if url != page_url and not url.startswith("data:"):
                urls.append(url)
    return urls


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--page", required=True)
    ap.add_argument("--vantrel", required=True)
    ap.add_argument("--artifacts")
    ap.add_argument("--readme-shot", help="also save a small screenshot of a lossy rule here")
    args = ap.parse_args()
    if not os.path.exists(CHROMIUM) or not os.path.exists(CHROMEDRIVER):
        skip("chromium and chromium-driver are not installed (apt-get install chromium chromium-driver)")
    if not os.access(args.vantrel, os.X_OK):
        raise SystemExit("FAIL: the native tool %s is missing (build it, or pass its path with "
                         "VANTREL_NATIVE_TOOL)" % args.vantrel)
    if not os.path.exists(args.page):
        raise SystemExit("FAIL: the page %s is not built" % args.page)
    if args.artifacts:
        os.makedirs(args.artifacts, exist_ok=True)
    page_url = "file://" + os.path.abspath(args.page)
    with open(args.page, "rb") as f:
        print("page: %s, %d bytes" % (args.page, len(f.read())))

    def tool(targs, data):
        return run_tool(args.vantrel, targs, data)
    tool.path = args.vantrel

    opts = webdriver.ChromeOptions()
    opts.binary_location = CHROMIUM
    for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
              "--window-size=1280,1000", "--allow-file-access-from-files"):
        opts.add_argument(a)
    opts.set_capability("goog:loggingPrefs", {"performance": "ALL"})
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=opts)
    workdir = tempfile.mkdtemp(prefix="vantrel-inspector-")
    try:
        page = Page(driver)
        start = time.monotonic()
        driver.get(page_url)
        page.wait(lambda: page.verdict() != "", what="the first verdict")
        wall = time.monotonic() - start
        first = page.js("return +document.body.dataset.firstVerdictMs")
        print("time to first verdict: %.0f ms after navigation start (%.0f ms as the test sees it)"
              % (first, wall * 1000))
        # Emscripten's loader first tries fetch() on the embedded data: URI of
        # the module, which the page's policy refuses, and then decodes it
        # itself: that refusal is expected; any other error is not.
        errors = [e["message"] for e in driver.get_log("browser") if e["level"] == "SEVERE"]
        refused = [m for m in errors if "data:application/octet-stream" in m]
        assert len(refused) == len(errors), [m[:300] for m in errors if m not in refused]
        test_worked_example(page, tool, args.artifacts)
        test_lossy_texts(page, tool, args.artifacts)
        if args.readme_shot:
            driver.set_window_size(1000, 900)
            page.paste(LOSSY[-1][1])
            driver.execute_script("document.querySelector('#rule-view [data-role=dropped]').focus();"
                                  "window.scrollTo(0, 0)")
            os.makedirs(os.path.dirname(os.path.abspath(args.readme_shot)), exist_ok=True)
            assert driver.save_screenshot(args.readme_shot), args.readme_shot
            driver.set_window_size(1280, 1000)
        test_rejected_and_bytes(page, tool, args.artifacts)
        test_edit_records(page, tool, args.artifacts)
        test_large_rule(page, tool, args.artifacts)
        test_store_forms(page, tool, args.artifacts, workdir)
        test_store(page, tool, args.artifacts, workdir)
        requests = network_requests(driver, page_url)
        assert requests == [], "the page made network requests: %s" % requests
        print("network requests besides the page itself: none")
    finally:
        driver.quit()
        shutil.rmtree(workdir, ignore_errors=True)
    print("PASS")


if __name__ == "__main__":
    main()
