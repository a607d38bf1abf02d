"""The updater page against 250 announcing simulated units, in headless Chromium (see run): the time
until the list is shown and every unit in view is named at 1024 x 768, and until every unit is named
in a window tall enough to show every row."""
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "web", "tests"))
sys.path.insert(0, os.path.join(HERE, "..", "units"))

from pages import BASE, Browser, curl, start_server  # noqa: E402
from netns_pair import UnitNamespace  # noqa: E402
import sim_unit as sim  # noqa: E402
from units_bench import cpu_seconds, mac  # noqa: E402

# The installation of the benchmark, and a small one beside it for comparison.
COUNTS = (5, 250)
SECONDS = float(os.environ.get("SECONDS_PER_RUN", "20"))


def listed():
    status, body = curl("/updater/breltList.json")
    return body.count(b'"macAddress"') if status == 200 else -1


def server_cpu(server, seconds):
    start, before = time.time(), cpu_seconds(server.proc.pid)
    time.sleep(seconds)
    return (cpu_seconds(server.proc.pid) - before) / (time.time() - start)


def page_busy(browser):
    """Seconds the page's renderer spent in tasks so far (Chromium's own count)."""
    metrics = browser.driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]
    return {m["name"]: m["value"] for m in metrics}["TaskDuration"]


def rows(browser, script):
    return browser.driver.execute_script(script)


HEIGHT, TALL = 768, 16000
# The unit rows drawn (a table may draw only those in view), and their names ("(no name)" until the
# unit's details are in).
ROWS = "[...document.querySelectorAll('table.unit-table tbody tr')].filter(tr => tr.cells.length > 2)"
NAMED = "(tr => tr.cells[1].textContent.trim() && !tr.cells[1].textContent.includes('(no name)'))"
LISTED = "return [...document.querySelectorAll('[role=status]')].some(e => e.textContent.startsWith('COUNT units'))"
NAMED_IN_VIEW = f"""const box = document.querySelector('table.unit-table').parentElement.getBoundingClientRect();
    const seen = {ROWS}.filter(tr => {{ const r = tr.getBoundingClientRect();
        return r.bottom > box.top + 30 && r.top < Math.min(box.bottom, innerHeight); }});
    return seen.length > 0 && seen.every({NAMED});"""
NAMED_ALL = f"return {ROWS}.filter({NAMED}).length"


def open_page(height):
    browser = Browser()
    browser.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                   {"width": 1024, "height": height, "deviceScaleFactor": 1, "mobile": False})
    browser.driver.execute_cdp_cmd("Performance.enable", {})
    return browser


def measure(count):
    units = [sim.Unit(mac(n + 1), 7, hwd=f"Bus {n + 1}", dis=f"dis-2.{n % 7}") for n in range(count)]
    with UnitNamespace() as ns:
        simulator = sim.Simulator(ns.packet_socket(), units)
        server = start_server(args=("-l", "0"))
        browser = None
        try:
            deadline = time.time() + 30
            while listed() < count and time.time() < deadline:
                time.sleep(0.2)
            print(f"units announcing: {count}, listed by the server: {listed()}", flush=True)
            without = server_cpu(server, SECONDS)

            browser = open_page(HEIGHT)
            started = time.time()
            browser.driver.get(BASE + "/updater.html")
            browser.wait(lambda: rows(browser, LISTED.replace("COUNT", str(count))), 60, "the full list")
            listed_after = time.time() - started
            browser.wait(lambda: rows(browser, NAMED_IN_VIEW), 60, "the names of the units in view")
            in_view_after = time.time() - started
            print(f"page at 1024 x {HEIGHT}: the list of {count} shown {listed_after * 1000:.0f} ms after navigation, "
                  f"every unit in view named {in_view_after * 1000:.0f} ms", flush=True)

            time.sleep(5)  # settled: what follows is the page's steady refresh
            busy_before, start = page_busy(browser), time.time()
            with_page = server_cpu(server, SECONDS)
            busy = (page_busy(browser) - busy_before) / (time.time() - start)
            print(f"page refresh: {busy * 1000:.1f} ms of the renderer's main thread per second", flush=True)
            print(f"server CPU without the page: {100 * without:.2f} % of one core; "
                  f"with the page open: {100 * with_page:.2f} %", flush=True)
            browser.close()
            browser = None

            tall = open_page(TALL)
            started = time.time()
            tall.driver.get(BASE + "/updater.html")
            tall.wait(lambda: rows(tall, NAMED_ALL) >= count, 60, "every unit's name")
            print(f"page at 1024 x {TALL} (every row in view): every unit named "
                  f"{(time.time() - started) * 1000:.0f} ms after navigation", flush=True)
            tall.close()
        finally:
            if browser:
                browser.close()
            server.close()
            simulator.close()


if __name__ == "__main__":
    for count in COUNTS:
        measure(count)
