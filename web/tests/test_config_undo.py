"""Undo takes back exactly the change that its button names, whatever view made it: an icon change
(which the store cannot undo) is counted but passed by, a refused translation leaves no step behind,
and every view (translations included) shows what the store holds after an undo."""
import json
import unittest
from urllib.parse import quote

from config_pages import fixture, rows
from pages import By, Keys, PageTest, curl
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.support.ui import Select

with open(fixture("system_sections.conf"), "rb") as f:
    # Languages Czech and English; texts "Door open", "Empty" and "Fire".
    CONFIGURATION = {"default.conf": f.read()}


def translations(language):
    status, body = curl(f"/tuna/globalAudioSetupTranslations.json?languageId={quote(language)}")
    assert status == 200, (status, body)
    return dict((text, translation) for text, translation, _ in json.loads(body))


def store_undo():
    return json.loads(curl("/tuna/undo.json")[1])


def icon(name):
    status, body = curl(f"/icons/{name}")
    assert status == 200, (status, body[:100])
    return body


class UndoTest(PageTest):
    server_files = CONFIGURATION

    def setUp(self):
        b = self.browser
        b.open("/")
        b.click("New")
        b.wait_text("Started a new configuration.")
        b.wait_text("No unsaved changes")

    def go(self, place):
        """Moves within the page, as its links do: the page and what it counts stay."""
        self.browser.driver.execute_script("location.hash = arguments[0]", place)

    def organization(self):
        return rows("cubSettings", "organization")[0]["organization"]

    def settings_label(self):
        row = rows("cubSettings")[0]
        return f"{row['name'] or 'row ' + row['id'] + ' of System settings'} changed"

    def test_an_icon_change_is_counted_but_undo_takes_back_the_row_it_names(self):
        b = self.browser
        before = self.organization()
        b.open("/#/form/cubSettings")
        b.type("Organization", "Harbour works")
        b.click("Save changes")
        b.wait_text("1 unsaved change")
        label = self.settings_label()
        b.button(f"Undo: {label}")

        drawn = icon("phone.bmp")
        self.go("#/icons")
        b.click("phone.bmp")
        b.wait(lambda: b.button("phone.bmp").get_attribute("aria-pressed") == "true")
        b.click("Clear")
        b.find("//dialog//button[normalize-space(.)='Clear']").click()
        b.wait_text("phone.bmp cleared.")
        b.wait_text("2 unsaved changes")
        self.assertNotEqual(icon("phone.bmp"), drawn)
        # The icon cannot be taken back by the store: Undo still names the row.
        b.click(f"Undo: {label}")
        b.wait_text(f"Undone: {label}.")
        b.wait_text("1 unsaved change")
        self.assertEqual(self.organization(), before)
        self.assertNotEqual(icon("phone.bmp"), drawn)
        undo = b.button("Undo")
        self.assertFalse(undo.is_enabled())
        self.assertEqual(store_undo(), {"status": "error", "description": "no more savepoints"})

        # Ctrl+Z undoes too, and the form follows; inside a text field it belongs to the field.
        self.go("#/form/cubSettings")
        b.type("Organization", "Second try")
        b.click("Save changes")
        b.wait_text("Saved.")
        b.find("//h1").click()
        ActionChains(b.driver).key_down(Keys.CONTROL).send_keys("z").key_up(Keys.CONTROL).perform()
        b.wait_text(f"Undone: {label}.")
        self.assertEqual(self.organization(), before)
        b.wait(lambda: b.field("Organization").get_attribute("value") == before, message="the form follows the undo")
        b.type("Organization", "Third")
        b.click("Save changes")
        # "Undone" lasts until the next change.
        b.wait_gone(f"Undone: {label}.")
        b.wait_text("2 unsaved changes")  # the icon and "Third"
        b.field("Organization").send_keys(Keys.CONTROL, "z")
        b.wait_text("2 unsaved changes")
        self.assertEqual(self.organization(), "Third")

    def test_a_refused_translation_leaves_no_step_and_the_view_follows_undo(self):
        b = self.browser
        b.open("/#/translations")
        Select(b.field("Language")).select_by_visible_text("Czech")
        door = b.field('Translation of "Door open"')
        b.wait(lambda: door.get_attribute("value") == "Dveře otevřeny")
        held = translations("Czech")

        fire = b.type('Translation of "Fire"', "Požár")
        fire.send_keys(Keys.ENTER)
        b.wait(lambda: translations("Czech")["Fire"] == "Požár", message="Fire saved")
        label = 'translation of "Fire" into Czech changed'
        b.button(f"Undo: {label}")

        # The store refuses a bar; the field keeps it and says why; no step is left for Undo.
        door = b.type('Translation of "Door open"', "Dveře | otevřeny")
        door.send_keys(Keys.ENTER)
        b.wait(lambda: door.get_attribute("aria-invalid") == "true", message="the error at Door open")
        row = door.find_element(By.XPATH, "ancestor::tr")
        self.assertIn("holds a '|'", row.find_element(By.CSS_SELECTOR, "[role=alert]").text)
        self.assertEqual(translations("Czech"), {**held, "Fire": "Požár"})
        b.wait_text("1 unsaved change")

        b.click(f"Undo: {label}")
        b.wait_text(f"Undone: {label}.")
        self.assertEqual(translations("Czech"), held)
        # The view shows what the store holds: Fire is empty again; what was typed at Door open stays.
        fire = b.field('Translation of "Fire"')
        b.wait(lambda: fire.get_attribute("value") == held["Fire"], message="Fire follows the undo")
        self.assertNotIn("Saved", fire.find_element(By.XPATH, "ancestor::tr").text)
        self.assertEqual(b.field('Translation of "Door open"').get_attribute("value"), "Dveře | otevřeny")
        self.assertFalse(b.button("Undo").is_enabled())
        b.wait_text("No unsaved changes")

        # Fire's translation is made anew, not sent to the row that the undo removed.
        fire.clear()
        fire.send_keys("Oheň", Keys.ENTER)
        b.wait(lambda: translations("Czech")["Fire"] == "Oheň", message="Fire saved again")
        self.assertNotIn("no row with this id", b.text())
        b.shot("config-translation-undo")
        # One step on the store for one change.
        self.assertNotEqual(store_undo()["status"], "error")
        self.assertEqual(store_undo(), {"status": "error", "description": "no more savepoints"})


if __name__ == "__main__":
    unittest.main()
