"""Validation: after a central unit is deleted, its devices are listed as findings, each leads to
its row, and the store's validation removes the crew station that can no longer be exported."""
import unittest

from config_pages import fixture, open_file, row_named, rows
from pages import By, PageTest


class ValidateTest(PageTest):
    def test_findings_lead_to_their_rows_and_the_store_removes_what_it_cannot_export(self):
        b = self.browser
        b.open("/")
        open_file(b, fixture("devices.conf"))
        b.click("Validate")
        b.wait_text("No findings: the configuration is complete.")
        unit = row_named("centralUnits", "CU-B")["id"]
        orphans = {t: [r["name"] for r in rows(t, "breltID") if r["breltID"] == unit] for t in ("crewStation", "radio", "speaker")}
        self.assertEqual(orphans["crewStation"], ["Loader"])
        b.open("/#/table/centralUnits")
        b.click("Delete CU-B")
        b.find("//dialog[@open]").find_element(By.XPATH, ".//button[normalize-space(.)='Delete']").click()
        b.wait_text("1 rows")
        b.click("Validate")
        for name in orphans["crewStation"] + orphans["radio"] + orphans["speaker"]:
            b.wait_text(name)
        b.wait_text(f"Central unit refers to {unit}, which no longer exists.")
        b.shot("config-validate")
        # A finding leads to its row.
        b.click("Crew stations: Loader")
        b.wait(lambda: b.field("Name").get_attribute("value") == "Loader")
        b.driver.back()
        b.click("Remove the 1 row that cannot be exported")
        b.wait_gone("Crew stations: Loader")
        self.assertEqual([r["name"] for r in rows("crewStation")], ["Commander"])
        # The radios stay (the store keeps them); they are still listed.
        b.wait_text(orphans["radio"][0])
        b.wait_text("2 unsaved changes")


if __name__ == "__main__":
    unittest.main()
