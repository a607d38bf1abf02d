"""The pages and the store agree on the tables: every column the store has is described by the
pages and the pages describe no column the store lacks; and Validate finds nothing wrong in the
repository's own configurations (a keypad button at the top of its menu refers to -1: no parent)."""
import os
import unittest

from config_pages import fixture, open_file
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

    def test_validate_finds_nothing_wrong_in_the_shipped_configurations(self):
        b = self.browser
        shipped = ["operators.conf", "devices.conf", "network.conf", "system_sections.conf", "kept_items.conf"]
        for path in [os.path.join(REPO_DIR, "run", "default.conf")] + [fixture(name) for name in shipped]:
            with self.subTest(file=os.path.basename(path)):
                b.open("/")
                open_file(b, path)
                b.open("/#/validate")
                b.wait(lambda: "finding" in b.text(), timeout=30, message="the validation's result")
                self.assertIn("No findings: the configuration is complete.", b.text())
                self.assertNotIn("refer to -1", b.text())


if __name__ == "__main__":
    unittest.main()
