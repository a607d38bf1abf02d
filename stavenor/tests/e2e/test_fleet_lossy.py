"""Configuration uploads on simulated units that lose frames both ways (a seeded share of what they
receive and of what they send) and resend their own until acknowledged: a repeated frame is
acknowledged again and taken once, so every job succeeds and every unit reloads exactly once a
run. The time beside a lossless run is measured in bench/units."""
import unittest

from fleet import fleet_runs

UNITS = 30
RUNS = 3
LOSS = 0.05


class LossyFleetJobs(unittest.TestCase):
    def test_every_job_succeeds_and_every_unit_reloads(self):
        lost = 0
        for number, result in enumerate(fleet_runs(UNITS, RUNS, log_mask="0x1", loss=LOSS, seed=60), 1):
            with self.subTest(run=number):
                self.assertTrue(result.ok(), str(result))
            lost = result.lost
        self.assertGreater(lost, 0, "the cable lost nothing: the test proves nothing")


if __name__ == "__main__":
    unittest.main()
