"""A configuration whose names hold markup and script: the pages show them as text, in the
overview, a grid, a form and a reference list, and nothing of them runs."""
import os
import tempfile
import unittest

from config_pages import open_file, rows
from pages import By, PageTest

IMG = '<img src=x onerror="window.pwned=1">'
SCRIPT = "<script>window.pwned=2</script>"
CONF = f"""# config file Mon Jan  6 09:00:00 2014

|network|
|nodes|
\t|{IMG}|
\t\t|interfaces|
\t\t\t|line 1|
\t\t\t\t|{SCRIPT}|
\t\t|services|
\t\t|type| = |BRELT-10TA|
|system|
\t|devices|
\t\t|{SCRIPT}|
\t\t\t|master login| = |{IMG}|
\t\t\t|type| = |MVQ-2CS|
\t|filename| = |markup.conf|
\t|name| = |Markup|
|users|
\t|{IMG}|
"""


class MarkupTest(PageTest):
    def test_names_with_markup_are_text_and_nothing_runs(self):
        b = self.browser
        path = os.path.join(tempfile.mkdtemp(), "markup.conf")
        with open(path, "w") as f:
            f.write(CONF)
        b.open("/")
        open_file(b, path)
        self.assertEqual([u["name"] for u in rows("centralUnits")], [IMG])
        self.assertEqual([c["name"] for c in rows("crewStation")], [SCRIPT])
        b.wait_text(IMG)
        b.open("/#/table/crewStation")
        b.wait_text(SCRIPT)
        b.wait_text(IMG)
        b.click(SCRIPT)
        b.wait(lambda: b.field("Name").get_attribute("value") == SCRIPT)
        options = [o.text for o in b.field("Master operator").find_elements(By.TAG_NAME, "option")]
        self.assertIn(IMG, options)
        self.assertIsNone(b.driver.execute_script("return window.pwned"))
        self.assertEqual(b.driver.find_elements(By.XPATH, "//main//img | //main//script"), [])
        self.assertEqual(b.console_errors(), [])


if __name__ == "__main__":
    unittest.main()
