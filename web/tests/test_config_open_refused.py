"""Files that are no configuration are refused when opened: the page says in words what is wrong and
where, and the configuration in use stays, in the page and in the store."""
import os
import shutil
import tempfile
import unittest

from config_pages import configuration_name, file_name_shown, fixture, open_file, rows, wait_file_name
from pages import PageTest

KEPT = "The configuration in use is kept."


class OpenRefusedTest(PageTest):
    def setUp(self):
        self.files = tempfile.mkdtemp(prefix="refused-")
        b = self.browser
        b.open("/")
        open_file(b, fixture("devices.conf"))
        wait_file_name(b, "devices.conf")

    def tearDown(self):
        shutil.rmtree(self.files, ignore_errors=True)

    def test_each_refusal_says_what_is_wrong_and_keeps_the_configuration(self):
        b = self.browser
        units = rows("centralUnits")
        for name, text, words in [
            ("notes.conf", "Shopping list\n\teggs\n\tmilk\n",
             'it is not a configuration: it has none of the sections "system", "nodes", "network" or "users"'),
            ("cut.conf", "# config file\n\n|system|\n\t|name| = |no end\n", 'a value lacks its closing "|" (line 4)'),
            ("deep.conf", "|system|\n\t\t|name| = |x|\n",
             "a line is indented more than one TAB deeper than the line before it (line 2)"),
        ]:
            with self.subTest(file=name):
                path = os.path.join(self.files, name)
                with open(path, "w") as f:
                    f.write(text)
                b.choose_file("Open…", path)
                b.wait_text(f"cannot load {name}: {words}. {KEPT}")
                self.assertNotIn(f"Opened {name}", b.text())
                self.assertNotIn("error -", b.text())
                self.assertEqual(file_name_shown(b), "devices.conf")
                self.assertEqual(configuration_name(), "devices.conf")
                self.assertEqual(rows("centralUnits"), units)
        b.wait_text("CU-B")
        b.shot("config-open-refused")


if __name__ == "__main__":
    unittest.main()
