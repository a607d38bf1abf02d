"""The server stops in the middle of an edit: the banner says so, the form keeps what the user
typed, and once a server answers on the same port again the banner goes; the typed values stay in
the form and are not written into the new run's rows."""
import unittest

from config_pages import fixture, rows
from pages import PageTest, start_server

BANNER = "The server does not answer. It is asked again every few seconds"

with open(fixture("devices.conf"), "rb") as f:
    TEMPLATE = {"default.conf": f.read()}


class ServerGoneTest(PageTest):
    server_files = TEMPLATE

    def test_the_banner_comes_and_goes_and_the_typed_values_stay(self):
        b = self.browser
        b.open("/#/form/cubSettings")
        b.type("Organization", "Typed before the stop")
        self.server.stop()
        b.click("Save changes")
        b.wait_text(BANNER)
        b.wait_text("The server does not answer. It is being asked again; what is typed here is kept.")
        self.assertEqual(b.field("Organization").get_attribute("value"), "Typed before the stop")
        b.shot("config-server-gone")
        type(self).server.close()
        type(self).server = start_server(TEMPLATE)
        b.wait_gone(BANNER, timeout=30)
        # "Does not answer" ends with the next answer; what was typed stays, and is never sent to
        # the new run's row (a row of the same id is another row).
        b.wait_gone("The server does not answer. It is being asked again")
        self.assertEqual(b.field("Organization").get_attribute("value"), "Typed before the stop")
        b.wait_text("the row this form edited went with its earlier run.")
        self.assertFalse(b.button("Save changes").is_enabled())
        self.assertNotEqual(rows("cubSettings", "organization")[0]["organization"], "Typed before the stop")


if __name__ == "__main__":
    unittest.main()
