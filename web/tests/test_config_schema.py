"""The pages and the store agree on the tables: every column the store has is described by the
pages and the pages describe no column the store lacks; and Validate finds in the repository's own
configurations only what Save would drop (a keypad button at the top of its menu refers to -1: no
parent)."""
import os
import unittest

from config_pages import fixture, validation_findings
from pages import REPO_DIR, PageTest

MISMATCHES = """
const done = arguments[0];
import("/configuration/schema.js").then(m => done({found: m.schemaMismatches(), tables: m.SCHEMA.size}),
    e => done({error: String(e)}));
"""


class SchemaTest(PageTest):
    def test_the_pages_describe_exactly_the_columns_of_the_store(self):
        b = self.browser
        b.open("/")
        result = b.driver.execute_async_script(MISMATCHES)
        self.assertNotIn("error", result)
        self.assertEqual(result["found"], [])
        self.assertEqual(result["tables"], 40)

    def test_validate_finds_only_what_save_would_drop_in_the_shipped_configurations(self):
        b = self.browser
        # (file, what Validate finds): kept_items.conf holds a route through an interface its unit lacks.
        shipped = [("operators.conf", []), ("devices.conf", []), ("network.conf", []), ("system_sections.conf", []),
                   ("kept_items.conf", ["Static routes: CU-1, route 2 — Static route 2 goes through an interface "
                                        "that CU-1 does not have: Save will leave it out."])]
        for path, found in [(os.path.join(REPO_DIR, "run", "default.conf"), [])] + [(fixture(n), f) for n, f in shipped]:
            with self.subTest(file=os.path.basename(path)):
                self.assertEqual(validation_findings(b, path), found)
                if not found:
                    self.assertIn("No findings: the configuration is complete.", b.text())
                self.assertNotIn("refer to -1", b.text())


if __name__ == "__main__":
    unittest.main()
