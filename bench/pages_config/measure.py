"""Medians of five runs, in the page's own clock: from navigation start to the overview listing
every unit, and from the click on "Radios" to the grid showing its row count and first row."""
import collections
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

REPO_DIR = os.environ["REPO_DIR"]
sys.path.insert(0, os.path.join(REPO_DIR, "web", "tests"))
from config_generate import generate  # noqa: E402
from pages import BASE, Browser, start_server  # noqa: E402

RUNS = 5
RADIOS_PER_UNIT = 8

# Resolves with the page's clock once `text` is shown (polled on every frame).
WAIT_FOR_TEXT = """
const [text, done] = arguments;
const look = () => document.body.innerText.includes(text) ? done(performance.now()) : requestAnimationFrame(look);
look();
"""
CLICK_AND_WAIT = """
const [link, text, first, done] = arguments;
const start = performance.now();
const look = () => {
    const row = document.querySelector(".grid-row");
    if (document.body.innerText.includes(text) && row && row.textContent.includes(first)) done(performance.now() - start);
    else requestAnimationFrame(look);
};
[...document.querySelectorAll("a")].find(a => a.textContent === link).click();
look();
"""


def load(path):
    subprocess.run(["curl", "-s", "-o", "/dev/null", "--max-time", "600", "-F", "command=load_file",
                    "-F", f"fileName={os.path.basename(path)}", "-F", f"file=@{path}",
                    f"{BASE}/tuna/configurationFile.json"], check=True)


def radios_per_unit():
    """How many radios the store holds per unit, as "count of radios: count of units"."""
    reply = subprocess.run(["curl", "-s", "--max-time", "60", f"{BASE}/tuna/list/radio?breltID="],
                           check=True, capture_output=True, text=True).stdout
    per_unit = collections.Counter(unit for [unit] in json.loads(reply) or [])
    without = per_unit.pop("", 0)
    spread = collections.Counter(per_unit.values())
    return ", ".join(f"{units} units hold {radios}" for radios, units in sorted(spread.items())) + \
        f"; {without} radios belong to no unit"


def measure(browser, units):
    radios = units * RADIOS_PER_UNIT
    overview, grid = [], []
    browser.driver.set_script_timeout(120)
    for _ in range(RUNS):
        browser.driver.get(BASE + "/")
        overview.append(browser.driver.execute_async_script(WAIT_FOR_TEXT, f"Central units ({units})"))
        browser.driver.get(BASE + "/#/tables")
        browser.driver.execute_async_script(WAIT_FOR_TEXT, "All tables")
        grid.append(browser.driver.execute_async_script(CLICK_AND_WAIT, "Radios", f"{radios} rows", "Radio 00000"))
    return statistics.median(overview), statistics.median(grid), radios


def main():
    work = tempfile.mkdtemp(prefix="pages-bench-")
    results = {}
    server = start_server()
    browser = Browser()
    try:
        for units in (5, 500):
            path = os.path.join(work, f"units{units}.conf")
            with open(path, "w") as f:
                f.write(generate(units, RADIOS_PER_UNIT, f"units{units}.conf"))
            started = time.monotonic()
            load(path)
            print(f"  ({units} units loaded by the server in {time.monotonic() - started:.1f} s, not counted)")
            print(f"  ({radios_per_unit()})")
            results[units] = measure(browser, units)
    finally:
        browser.close()
        server.close()
    print(f"{'':34}{'5 units':>14}{'500 units':>14}")
    print(f"{'navigation to overview shown':34}{results[5][0]:>11.0f} ms{results[500][0]:>11.0f} ms")
    print(f"{'click to radio grid shown':34}{results[5][1]:>11.0f} ms{results[500][1]:>11.0f} ms")
    print(f"{'  (radios in the grid)':34}{results[5][2]:>14}{results[500][2]:>14}")


main()
