"""Five configuration uploads on 250 simulated units while the updater page's requests go on beside
them (see stavenor/tests/e2e/fleet.py); prints each run's failures and the longest time a unit's
frame waited for the server. usage: fleet_jobs.py [units] [runs] (inside a namespace, see run)."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "stavenor", "tests", "e2e"))

from fleet import fleet_runs  # noqa: E402

if __name__ == "__main__":
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 250
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    failed = 0
    for number, result in enumerate(fleet_runs(count, runs, os.environ.get("LOG_MASK", "0")), 1):
        print(f"run {number}: {count} units, {result}", flush=True)
        failed += not result.ok()
    sys.exit(1 if failed else 0)
