"""Configuration uploads on simulated units over a perfect cable, then over cables that lose a seeded
share of the channel frames both ways (the units resend theirs); prints each run, the totals and
each lossy total's ratio to the lossless one, which should stay within 1.5. Every lost frame costs
the second that the channel waits before it resends, and a run ends with its unluckiest unit.
usage: fleet_loss.py [units] [runs] [shares, comma-separated] (inside a namespace, see run)."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "stavenor", "tests", "e2e"))

from fleet import fleet_runs  # noqa: E402


def total(count, runs, loss):
    seconds, failed = 0.0, 0
    for number, result in enumerate(fleet_runs(count, runs, os.environ.get("LOG_MASK", "0"), loss=loss, seed=60), 1):
        print(f"loss {loss:.0%} run {number}: {count} units, {result}", flush=True)
        seconds += result.seconds
        failed += not result.ok()
    return seconds, failed


if __name__ == "__main__":
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 100
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    shares = [float(x) for x in (sys.argv[3] if len(sys.argv) > 3 else "0.01,0.05").split(",")]
    clean, failed = total(count, runs, 0.0)
    for share in shares:
        lossy, lossy_failed = total(count, runs, share)
        failed += lossy_failed
        print(f"{runs} runs on {count} units: {clean:.1f} s without loss, {lossy:.1f} s with {share:.0%} lost each"
              f" way: {lossy / clean:.2f} x", flush=True)
    sys.exit(1 if failed else 0)
