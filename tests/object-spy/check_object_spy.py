#!/usr/bin/env python3
"""Runs vxobjectspy (the engine walker over the whole hook) on fixture
snapshots and compares its --json answer with the committed expected file.

  check_object_spy.py VXINSPECT EXPECTED.json SNAPSHOT...            compare
  check_object_spy.py --regenerate VXINSPECT EXPECTED.json SNAPSHOT... write it
  check_object_spy.py --answers VXINSPECT SNAPSHOT                      questions
                   (XPath, object at a point, focus) and bad requests
  check_object_spy.py --report VXINSPECT PAGE.html                      the HTML
                   report of a freshly captured page, opened in Chromium
  check_object_spy.py --record VXINSPECT SNAPSHOT SCRIPT                a recorded
                   session: the records the engine printed

Window monikers carry window handle values, which differ between runs: they
are compared as ChromeWindow#. Everything else must be equal.
"""
import json
import os
import re
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def inspect_run(inspect, snapshots, options):
    command = [os.path.join(ROOT, "cmake", "wine-run.sh"), inspect] + options
    for snapshot in snapshots:
        with open(snapshot, encoding="utf-8") as f:
            url = json.load(f).get("url", "")
        command.append("--page=Z:" + os.path.abspath(snapshot) + "|" + url)
    done = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
    return (done.returncode, done.stdout.decode("utf-8", "replace").replace("\r", ""),
            done.stderr.decode("utf-8", "replace").replace("\r", ""))


def answers(inspect, snapshot):
    """Each question with what its answer must show; the failures found."""
    cases = [
        (["--xpath=//*[@id='Dup']"], 0, lambda out, err: out.strip() == "Cr1Wnd!35"),
        # Element names are the DOM's own (upper case in HTML).
        (["--xpath=count(//IFRAME)"], 0, lambda out, err: out.strip() == "3"),
        # The library's own error text, with its three parts.
        (["--xpath=//p["], 1, lambda out, err: any(l.startswith("inspect: Invalid syntax of the XPath expression: //p[ ")
                                                  and l.endswith("quotes.") for l in err.splitlines())),
        (["--at=60,200"], 0, lambda out, err: out.startswith("Cr1!") and len(out.strip()) > 4),
        (["--at=5,5"], 1, lambda out, err: "outside every tab window" in err),
        (["--focused"], 0, lambda out, err: out.startswith("Cr1!")),
        (["--bogus"], 1, lambda out, err: "unknown argument" in err),
    ]
    failures = []
    for options, status, check in cases:
        code, out, err = inspect_run(inspect, [snapshot], options)
        if code != status or not check(out, err):
            failures.append(f"{options}: status {code}, output {out.strip()!r}, errors {err.strip()[-300:]!r}")
    return failures


def record(inspect, snapshot, script):
    """The session of recording.steps: each record a step causes, in order,
    with what it must say; the failures found."""
    code, out, err = inspect_run(inspect, [snapshot], ["--record=Z:" + os.path.abspath(script)])
    if code != 0:
        return [f"status {code}: {err.strip()[-300:]!r}"]
    records = re.findall(r"^\d+\. (.*)\n   on (\S+), (handled|not handled)$", out, re.M)
    expected = [
        # what the record says (in order), handled or not
        (["keyup kind=503 value=\"Alice\"", "tab=1 url=", "described=true"], "handled"),
        (["keyup kind=503 value=\"hunter2\""], "handled"),
        (["change kind=505 option=\"Blue\""], "handled"),
        (["window-message kind=502 checked=true in-tab=true tab=1"], "handled"),
        (["window-message kind=501 in-tab=true"], "not handled"),
        (["window-message kind=501 in-tab=true"], "not handled"),
        (["window-message kind=504 option=1 select-key="], "handled"),
        (["window-message kind=504 option=\"Apple\" select-key="], "handled"),
        (["window-message kind=505 option=2 in-tab"], "handled"),
        (["window-message in-tab=true"], "not handled"),
    ]
    failures = []
    if "provider for list: none" not in out or "provider for name: Cr1Wnd!" not in out:
        failures.append("providers: " + out[:300])
    if len(records) != len(expected):
        return failures + [f"{len(records)} records instead of {len(expected)}:\n{out}"]
    for number, ((line, _, handled), (texts, want)) in enumerate(zip(records, expected), 1):
        if handled != want or not all(text in line for text in texts):
            failures.append(f"record {number}: {line} ({handled}); expected {texts} ({want})")
    return failures


def run(inspect, snapshots):
    code, stdout, stderr = inspect_run(inspect, snapshots, ["--json"])
    done = subprocess.CompletedProcess([], code, stdout.encode(), stderr.encode())
    if done.returncode != 0:
        sys.stderr.write(done.stderr.decode("utf-8", "replace"))
        raise SystemExit(f"vxobjectspy failed with status {done.returncode}")
    text = re.sub(r"ChromeWindow-?\d+", "ChromeWindow#", done.stdout.decode("utf-8").replace("\r", ""))
    return json.loads(text)


def differences(expected, got, path="$"):
    if type(expected) is not type(got):
        return [f"{path}: expected {expected!r}, got {got!r}"]
    if isinstance(expected, dict):
        found = []
        for key in sorted(set(expected) | set(got)):
            if key not in got or key not in expected:
                found.append(f"{path}.{key}: only in {'expected' if key in expected else 'answer'}")
            else:
                found += differences(expected[key], got[key], f"{path}.{key}")
        return found
    if isinstance(expected, list):
        found = [] if len(expected) == len(got) else [f"{path}: {len(expected)} elements expected, {len(got)} got"]
        for i, (e, g) in enumerate(zip(expected, got)):
            found += differences(e, g, f"{path}[{i}]")
        return found
    return [] if expected == got else [f"{path}: expected {expected!r}, got {got!r}"]


def report(inspect, page):
    """Captures the page with its screenshot, writes the report and has
    Chromium check it; the failures found."""
    import tempfile
    with tempfile.TemporaryDirectory() as work:
        subprocess.run(["node", os.path.join(ROOT, "tools", "capture", "capture.mjs"), page, "--name", "page",
                        "--out", work, "--screenshot", os.path.join(work, "shot.png")],
                       check=True, capture_output=True, timeout=120)
        code, out, err = inspect_run(inspect, [os.path.join(work, "page.json")], ["--json"])
        if code != 0:
            return [f"vxobjectspy failed: {err.strip()[-300:]}"]
        with open(os.path.join(work, "tree.json"), "w", encoding="utf-8") as f:
            f.write(out)
        tree = json.loads(out)
        expected = 0

        def count(node, has_page):
            nonlocal expected
            r = node.get("rectangle")
            has_page = has_page or (node["kind"] == "Page" and r is not None)
            if has_page and r and node.get("visible") and r[2] > 0 and r[3] > 0:
                expected += 1
            for child in node["children"]:
                count(child, has_page)

        for page_tree in tree["pages"]:
            count(page_tree["tree"], False)
        html_path = os.path.join(work, "report.html")
        subprocess.run([sys.executable, os.path.join(ROOT, "tools", "object-spy-report.py"), os.path.join(work, "tree.json"),
                        os.path.join(work, "shot.png"), html_path], check=True, capture_output=True)
        done = subprocess.run(["node", os.path.join(os.path.dirname(__file__), "report_check.mjs"), html_path,
                               str(expected)], capture_output=True, timeout=120)
        if done.returncode != 0:
            return [done.stdout.decode() + done.stderr.decode()]
        return [] if expected > 10 else [f"only {expected} boxes"]


def main(argv):
    if argv[:1] == ["--report"]:
        failures = report(argv[1], argv[2])
        for line in failures:
            print(line)
        return 1 if failures else 0
    if argv[:1] == ["--record"]:
        failures = record(argv[1], argv[2], argv[3])
        for line in failures:
            print(line)
        return 1 if failures else 0
    if argv[:1] == ["--answers"]:
        failures = answers(argv[1], argv[2])
        for line in failures:
            print(line)
        return 1 if failures else 0
    regenerate = argv[:1] == ["--regenerate"]
    if regenerate:
        argv = argv[1:]
    inspect, expected_path, snapshots = argv[0], argv[1], argv[2:]
    got = run(inspect, snapshots)
    if regenerate:
        with open(expected_path, "w", encoding="utf-8") as out:
            json.dump(got, out, indent=1, ensure_ascii=False)
            out.write("\n")
        print(f"wrote {expected_path}")
        return 0
    with open(expected_path, encoding="utf-8") as f:
        expected = json.load(f)
    found = differences(expected, got)
    for line in found[:40]:
        print(line)
    if found:
        print(f"{len(found)} difference(s); regenerate with tests/object-spy/regenerate.sh after reading them")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
