"""The pages' common table in a real Chromium, on a page of its own: sort orders by kind (text,
numbers, MAC addresses as hexadecimal numbers, IPv4 addresses), sorting by keyboard, the filter,
selection, long texts, and ten thousand rows drawn only where they are in view."""
import os
import unittest

from pages import By, Keys, PageTest, WIDTH

HERE = os.path.dirname(os.path.abspath(__file__))


def page_files():
    files = {}
    for name in ("table.html", "table-page.js"):
        with open(os.path.join(HERE, "table_page", name), "rb") as f:
            files[f"www/{name}"] = f.read()
    return files


class TableTest(PageTest):
    server_files = page_files()

    def open(self, query=""):
        self.browser.open("/table.html" + query)
        self.browser.wait(lambda: self.column(1), message="the table")

    def column(self, index):
        """The texts of column `index` (1 = the first after the check boxes), as drawn."""
        return [td.text for td in self.browser.driver.find_elements(
            By.CSS_SELECTOR, f"tbody tr.grid-row td:nth-child({index + 1})")]

    def status(self):
        return self.browser.driver.find_element(By.CSS_SELECTOR, "[role=status]").text

    def test_sort_orders(self):
        b = self.browser
        self.open()
        cases = (  # header, column, ascending order
            ("Name", 1, ["apple", "Ärger", "Unit 2", "unit 10"]),
            ("MAC", 2, ["00:00:00:00:00:01", "00:00:00:00:00:0B", "00:00:00:00:00:0F", "00:00:00:00:00:1a",
                        "00:00:00:00:01:00"]),
            ("IP", 3, ["", "9.255.255.255", "10.0.0.2", "10.0.0.10", "192.168.1.1"]),
            ("Count", 4, ["", "-3", "1.5", "2", "10"]),
        )
        for header, index, order in cases:
            with self.subTest(header=header):
                if b.text().find(f"{header} \u25b2") < 0:  # the first column starts sorted
                    b.click(header)
                b.wait(lambda: b.button(f"{header} \u25b2"))
                shown = [t for t in self.column(index) if index != 1 or len(t) < 50]
                self.assertEqual(shown, order)
                b.click(f"{header} \u25b2")
                b.wait(lambda: [t for t in self.column(index) if index != 1 or len(t) < 50] == order[::-1],
                       message=f"{header} descending")
        # The keyboard sorts too: the header buttons take Enter.
        b.button("MAC").send_keys(Keys.ENTER)
        b.wait(lambda: self.column(2)[0] == "00:00:00:00:00:01", message="MAC ascending by keyboard")
        self.assertEqual(b.find("//th[@aria-sort]").get_attribute("aria-sort"), "ascending")

    def test_filter_and_selection(self):
        b = self.browser
        self.open()
        # The typed text in one cell, without case, accents or runs of blanks.
        for typed, names in (("arger", ["Ärger"]), ("UNIT  1", ["unit 10"]), ("10.0.0", ["Ärger", "unit 10"]),
                             ("unit 10.0", []), ("", None)):
            with self.subTest(typed=typed):
                self.browser.retype("Filter", typed)
                status = "5 rows" if names is None else f"{len(names)} of 5 rows"
                b.wait(lambda: self.status() == status, message=status)
                if names is not None:
                    self.assertEqual(self.column(1), names)
        # The header's box takes what the filter shows; the page may set the selection itself.
        self.browser.retype("Filter", "unit")
        b.wait(lambda: self.status() == "2 of 5 rows")
        b.field("Select all shown rows").click()
        b.wait(lambda: b.driver.find_element(By.ID, "selected").text == "00:00:00:00:00:01 00:00:00:00:00:0F")
        self.browser.retype("Filter", "")
        b.click("Pick two")
        b.wait(lambda: [b.field(f"Select {m}").is_selected() for m in ("00:00:00:00:00:0F", "00:00:00:00:00:01",
                                                                       "00:00:00:00:01:00")] == [True, True, False],
               message="the page's own selection shown")

    def test_a_click_on_a_row_chooses_it(self):
        from selenium.webdriver.common.action_chains import ActionChains
        b = self.browser
        self.open()
        selected = lambda: b.driver.find_element(By.ID, "selected").text
        # A row's name and another of its cells toggle it as its box does; a drag over text does not.
        b.find("//td/div[normalize-space(.)='apple']").click()
        b.wait(lambda: selected() == "00:00:00:00:00:1a", message="apple chosen by its name")
        self.assertTrue(b.field("Select 00:00:00:00:00:1a").is_selected())
        b.find("//td/div[normalize-space(.)='10.0.0.2']").click()
        b.wait(lambda: selected() == "00:00:00:00:00:1a 00:00:00:00:01:00", message="Ärger chosen by its address")
        b.find("//td/div[normalize-space(.)='apple']").click()
        b.wait(lambda: selected() == "00:00:00:00:01:00", message="apple let go")
        cell = b.find("//td/div[normalize-space(.)='unit 10']")
        ActionChains(b.driver).move_to_element_with_offset(cell, -cell.size["width"] // 2 + 2, 0).click_and_hold() \
            .move_by_offset(cell.size["width"] - 4, 0).release().perform()
        self.assertEqual(selected(), "00:00:00:00:01:00")

    def test_a_long_name_keeps_its_row_to_two_lines(self):
        b = self.browser
        self.open()
        cell = b.find("//td/div[starts-with(@title, '\u05e9')]")
        self.assertEqual(len(cell.get_attribute("title")), 304)
        self.assertEqual(cell.get_attribute("dir"), "auto")
        line = float(b.driver.execute_script("return parseFloat(getComputedStyle(arguments[0]).lineHeight)", cell))
        self.assertLessEqual(cell.size["height"], 2 * line + 1)
        self.assertLessEqual(b.driver.execute_script("return document.documentElement.scrollWidth"), WIDTH)
        b.shot("table-long-name")

    def test_ten_thousand_rows_draw_only_what_is_in_view(self):
        b = self.browser
        self.open("?rows=10000")
        b.wait_text("10000 rows")
        drawn = self.column(1)
        self.assertEqual(drawn[0], "Row 00000")
        self.assertLess(len(drawn), 60)
        body = b.driver.find_element(By.CSS_SELECTOR, ".grid-body")
        body.send_keys(Keys.END)
        b.wait(lambda: "Row 09999" in self.column(1), message="the last row drawn")
        self.assertLess(len(self.column(1)), 60)
        # The last row sits at the bottom of the body, where the space above it says it is.
        row = b.find("//tr[td[normalize-space(.)='Row 09999']]")
        bottom = b.driver.execute_script("return arguments[0].getBoundingClientRect().bottom", body)
        self.assertLess(abs(row.rect["y"] + row.rect["height"] - bottom), 40)
        b.click("Count")
        b.click("Count \u25b2")
        body.send_keys(Keys.HOME)
        b.wait(lambda: self.column(1)[:1] == ["Row 09999"], message="the last row first")
        self.assertEqual(b.console_errors(), [])


if __name__ == "__main__":
    unittest.main()
