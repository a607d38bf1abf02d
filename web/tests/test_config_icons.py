"""Button icons in a real Chromium: replace one from an image, clear one, draw one on the grid with
the mouse and the keyboard, and download the archive; each time the server's rendering of the icon
(and the archive's) is what the user made."""
import os
import struct
import tempfile
import unittest
import zipfile

from pages import By, Keys, PageTest, curl
from selenium.webdriver.common.action_chains import ActionChains

SIDE = 20


def bmp(pixels, width=SIDE, height=SIDE):
    """A 24-bit BMP of `pixels` (a set of black (x, y)); the rest is white."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(height)):
        row = b"".join(b"\0\0\0" if (x, y) in pixels else b"\xff\xff\xff" for x in range(width))
        rows.append(row + b"\0" * (stride - len(row)))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data


def black_pixels(data):
    """The black (x, y) of a BMP as the server renders it (24 or 32 bits a pixel)."""
    assert data[:2] == b"BM", data[:16]
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    assert bits in (24, 32), bits
    size = bits // 8
    stride = (width * size + 3) & ~3
    black = set()
    for row in range(abs(height)):
        y = abs(height) - 1 - row if height > 0 else row
        for x in range(width):
            at = offset + row * stride + x * size
            if data[at:at + 3] == b"\0\0\0":
                black.add((x, y))
    return black


def served(name):
    status, body = curl(f"/icons/{name}")
    assert status == 200, (status, body[:100])
    return black_pixels(body)


# A frame and a diagonal: no two rows alike, so a flipped or shifted picture shows.
PATTERN = {(x, 0) for x in range(SIDE)} | {(0, y) for y in range(SIDE)} | {(i, i) for i in range(SIDE)}


class IconsTest(PageTest):
    def setUp(self):
        self.files = tempfile.mkdtemp(prefix="icons-")
        self.browser.open("/#/icons")
        self.browser.wait(lambda: self.tile("empty.bmp"), message="the gallery")

    def write(self, name, content):
        path = os.path.join(self.files, name)
        with open(path, "wb") as f:
            f.write(content)
        return path

    def tile(self, name):
        return self.browser.button(name)

    def select(self, name):
        self.browser.click(name)
        self.browser.wait(lambda: self.tile(name).get_attribute("aria-pressed") == "true")

    @staticmethod
    def cell_offset(grid):
        """The offset of the middle of grid cell (x, y) from the middle of the grid."""
        side = grid.size["width"]
        return lambda x, y: (round((x + 0.5) * side / SIDE - side / 2), round((y + 0.5) * side / SIDE - side / 2))

    def test_replace_from_an_image(self):
        b = self.browser
        self.select("radio.bmp")
        before = b.driver.find_element(By.CSS_SELECTOR, ".icon-preview").get_attribute("src")
        b.choose_file("Replace from image…", self.write("mine.bmp", bmp(PATTERN)))
        self.assertEqual(b.upload_filter(), "img")
        b.wait_text("radio.bmp replaced by mine.bmp.")
        self.assertEqual(served("radio.bmp"), PATTERN)
        # The page asks for the new picture, and shows it at its size.
        preview = b.driver.find_element(By.CSS_SELECTOR, ".icon-preview")
        self.assertNotEqual(preview.get_attribute("src"), before)
        b.wait(lambda: b.driver.execute_script("return arguments[0].complete && arguments[0].naturalWidth", preview) == SIDE)

        for name, content, error in [
            ("wide.bmp", bmp(set(), width=SIDE + 1), '"wide.bmp" is 21 × 20 pixels: an icon must be 20 × 20 pixels.'),
            ("notes.png", b"not a picture at all", '"notes.png" is not a BMP, PNG, GIF or JPEG image'),
            ("grey.bmp", bmp({(0, 0)}).replace(b"\xff\xff\xff", b"\x80\x80\x80", 7), '"grey.bmp" has 3 colours'),
            ("big.png", b"\x89PNG" + bytes(1024 * 1024), '"big.png" is larger than 1 MiB (1,048,580 bytes): an icon image may be at most 1 MiB.'),
        ]:
            with self.subTest(image=name):
                b.choose_file("Replace from image…", self.write(name, content))
                b.wait_text(error)
                self.assertEqual(served("radio.bmp"), PATTERN)
        self.assertEqual(b.console_errors(), [])

    def test_clear_asks_then_blanks_the_icon_and_the_archive(self):
        b = self.browser
        self.assertTrue(served("phone.bmp"), "the default phone icon has a drawing")
        self.select("phone.bmp")
        b.click("Clear")
        b.wait_text("Clear phone.bmp?")
        b.click("Cancel")
        b.wait_gone("Clear phone.bmp?")
        self.assertTrue(served("phone.bmp"))
        b.click("Clear")
        b.find("//dialog//button[normalize-space(.)='Clear']").click()
        b.wait_text("phone.bmp cleared.")
        self.assertEqual(served("phone.bmp"), set())

        # The archive is what the configuration file carries: the cleared icon is blank there too.
        b.click("Download all (icons.zip)")
        path = b.wait_download(".zip")
        # The name may show before the last bytes are written.
        b.wait(lambda: zipfile.is_zipfile(path), message="the whole archive")
        with zipfile.ZipFile(path) as archive:
            names = archive.namelist()
            self.assertEqual(len(names), 190)
            self.assertEqual(names[:3], ["000_normal.bmp", "001_disabled.bmp", "002_normal.bmp"])
            self.assertEqual(names[-1], "189_disabled.bmp")
            self.assertEqual(black_pixels(archive.read("014_normal.bmp")), set())
            self.assertEqual(black_pixels(archive.read("015_disabled.bmp")), served("phone_ds.bmp"))

    def test_draw_with_the_keyboard_and_the_mouse(self):
        b = self.browser
        # The gallery is one stop for Tab: the arrow keys move the choice.
        self.select("gps.bmp")
        self.tile("gps.bmp").send_keys(Keys.ARROW_RIGHT)
        b.wait(lambda: self.tile("gps_ds.bmp").get_attribute("aria-pressed") == "true")
        self.assertEqual(b.driver.switch_to.active_element.get_attribute("aria-label"), "gps_ds.bmp")
        self.tile("gps_ds.bmp").send_keys(Keys.ARROW_LEFT)
        b.wait(lambda: self.tile("gps.bmp").get_attribute("aria-pressed") == "true")

        b.click("Draw…")
        grid = b.find("//dialog//canvas")
        b.wait_text("Row 1, column 1:")
        # The grid has the focus, so the keyboard draws at once.
        b.wait(lambda: b.driver.switch_to.active_element == grid, message="the grid to have the focus")
        b.click("Clear grid")
        at = self.cell_offset(grid)
        ActionChains(b.driver).move_to_element_with_offset(grid, *at(10, 10)).click().perform()
        b.wait_text("Row 11, column 11: black")
        # A stroke with the mouse: from (2, 15) to (6, 15).
        ActionChains(b.driver).move_to_element_with_offset(grid, *at(2, 15)).click_and_hold() \
            .move_to_element_with_offset(grid, *at(6, 15)).release().perform()
        b.wait_text("Row 16, column 7: black")
        # The keyboard: from the top left corner, Space switches a pixel.
        grid.send_keys(*[Keys.ARROW_LEFT] * SIDE, *[Keys.ARROW_UP] * SIDE, Keys.SPACE,
                       Keys.ARROW_RIGHT, Keys.ARROW_RIGHT, Keys.SPACE, Keys.ARROW_DOWN, Keys.SPACE,
                       Keys.SPACE, Keys.ARROW_RIGHT, Keys.SPACE)
        b.wait_text("Row 2, column 4: black")
        b.shot("config_icon_editor")
        b.click("Upload drawing")
        b.wait_text("gps.bmp drawn and uploaded.")
        b.wait_gone("Upload drawing")
        drawn = {(10, 10), (0, 0), (2, 0), (3, 1)} | {(x, 15) for x in range(2, 7)}
        self.assertEqual(served("gps.bmp"), drawn)

        # Drawing again starts from what the server now holds.
        b.click("Draw…")
        b.find("//dialog//canvas").send_keys(Keys.SPACE)
        b.wait_text("Row 1, column 1: white")
        b.click("Cancel")
        b.wait_gone("Upload drawing")
        self.assertEqual(served("gps.bmp"), drawn)
        self.assertEqual(b.console_errors(), [])


if __name__ == "__main__":
    unittest.main()
