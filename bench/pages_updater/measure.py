"""The updater page against 250 announcing simulated units, in headless Chromium (see run)."""
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

            browser = Browser()
            browser.driver.execute_cdp_cmd("Performance.enable", {})
            started = time.time()
            browser.driver.get(BASE + "/updater.html")
            shown = "return document.querySelectorAll('table.unit-table tbody tr').length"
            named = "return [...document.querySelectorAll('table.unit-table tbody tr td:nth-child(6)')]" \
                    ".filter(td => td.textContent.trim()).length"
            browser.wait(lambda: rows(browser, shown) >= count, 60, "the full list")
            listed_after = time.time() - started
            browser.wait(lambda: rows(browser, named) >= count, 60, "every unit's details")
            detailed_after = time.time() - started
            print(f"page: all {count} rows shown {listed_after * 1000:.0f} ms after navigation, "
                  f"with every unit's details {detailed_after * 1000:.0f} ms", flush=True)

            time.sleep(5)  # settled: what follows is the page's steady refresh
            busy_before, start = page_busy(browser), time.time()
            with_page = server_cpu(server, SECONDS)
            busy = (page_busy(browser) - busy_before) / (time.time() - start)
            print(f"page refresh: {busy * 1000:.1f} ms of the renderer's main thread per second", flush=True)
            print(f"server CPU without the page: {100 * without:.2f} % of one core; "
                  f"with the page open: {100 * with_page:.2f} %", flush=True)
        finally:
            if browser:
                browser.close()
            server.close()
            simulator.close()


if __name__ == "__main__":
    for count in COUNTS:
        measure(count)
