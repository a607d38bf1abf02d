"""The frame of the three pages in a real Chromium: each page names its module for the control
centre, links the other two, shows the server's version, runs no inline script and reports no error."""
import unittest

from pages import By, Keys, PageTest, curl

PAGES = [
    # path, #webModule, document title, the header's current link
    ("/", "1", "Configuration", "Configuration"),
    ("/updater.html", "2", "Updater", "Updater"),
    ("/curtain.html", "3", "Recovery", "Recovery"),
]


class FrameTest(PageTest):
    def test_each_page_names_its_module_and_links_the_others(self):
        _, version = curl("/stavenorVersion")
        version = version.decode().strip()
        b = self.browser
        for path, module, title, current in PAGES:
            with self.subTest(path=path):
                b.open(path)
                self.assertEqual(b.driver.find_element(By.ID, "webModule").get_attribute("value"), module)
                self.assertEqual(b.driver.title, title)
                links = b.driver.find_elements(By.CSS_SELECTOR, "header nav a")
                self.assertEqual([a.text for a in links], ["Configuration", "Updater", "Recovery"])
                self.assertEqual([a.get_attribute("aria-current") for a in links],
                                 ["page" if a.text == current else None for a in links])
                b.wait_text("Server " + version)
                # One of each element that the control centre reads.
                for element in ("webModule", "uploadFilter", "uploadRealPath"):
                    self.assertEqual(len(b.driver.find_elements(By.ID, element)), 1, element)
                inline = b.driver.execute_script(
                    "return [...document.scripts].filter(s => !s.src).length")
                self.assertEqual(inline, 0)
                self.assertEqual(b.console_errors(), [])

    def test_the_header_is_reached_with_the_keyboard(self):
        b = self.browser
        b.open("/updater.html")
        body = b.driver.find_element(By.TAG_NAME, "body")
        body.send_keys("\t")
        # First a link past the header, which takes the keyboard into the page's own content.
        skip = b.driver.switch_to.active_element
        self.assertEqual(skip.text, "Skip to the page's content")
        skip.send_keys("\n")
        self.assertEqual(b.driver.switch_to.active_element.get_attribute("id"), "main")
        skip.send_keys(Keys.TAB)
        focused = b.driver.switch_to.active_element
        self.assertEqual(focused.text, "Configuration")
        focused.send_keys("\n")
        b.wait(lambda: b.driver.find_element(By.ID, "webModule").get_attribute("value") == "1")


if __name__ == "__main__":
    unittest.main()
