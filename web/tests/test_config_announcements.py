"""Announcements and the audio-setup translations in a real Chromium: WAV files uploaded to and
deleted from a language (the server's disk and its repository command follow), and translations
typed into the table (the store holds them, each change undoable on its own)."""
import json
import os
import struct
import tempfile
import unittest
from urllib.parse import quote

from pages import TEST_DATA_DIR, By, Keys, PageTest, curl
from selenium.webdriver.support.ui import Select


def wav(data_bytes, audio_format=1, channels=1, rate=8000, bits=16):
    """A WAV file with the canonical 44-byte header and `data_bytes` of silence."""
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + data_bytes, b"WAVE", b"fmt ", 16, audio_format,
                         channels, rate, rate * channels * bits // 8, channels * bits // 8, bits, b"data", data_bytes)
    return header + b"\0" * data_bytes


def repository(language):
    status, body = curl(f"/tuna/globalAudioSetupAudioRepository.json?languageId={quote(language)}")
    assert status == 200, (status, body)
    return {name: duration for name, file_id, duration in json.loads(body) if file_id}


def translations(language):
    status, body = curl(f"/tuna/globalAudioSetupTranslations.json?languageId={quote(language)}")
    assert status == 200, (status, body)
    return [(text, translation) for text, translation, _ in json.loads(body)]


MARKUP = "<img src=x onerror=document.title='hacked'>"

with open(os.path.join(TEST_DATA_DIR, "config", "system_sections.conf"), "rb") as f:
    CONFIGURATION = f.read()


class AnnouncementsTest(PageTest):
    # Languages Czech and English, texts "Door open", "Empty" and "Fire"; Czech has one announcement,
    # and one for every language is named with markup.
    server_files = {"default.conf": CONFIGURATION, "announcements/Czech/welcome.wav": wav(16000),
                    f"announcements/{MARKUP}.wav": wav(8000)}

    def setUp(self):
        self.files = tempfile.mkdtemp(prefix="announcements-")

    def write(self, name, content):
        path = os.path.join(self.files, name)
        with open(path, "wb") as f:
            f.write(content)
        return path

    def section(self, title):
        return self.browser.find(f"//section[h2 = '{title}'] | //section[div/h2 = '{title}']")

    def test_upload_and_delete_announcements(self):
        b = self.browser
        b.open("/#/announcements")
        czech = self.section("Czech")
        b.wait(lambda: "welcome" in czech.text and "1.0 s" in czech.text, message="Czech's announcement")
        self.section("English").find_element(By.XPATH, ".//p[.='No announcements.']")
        # A name is text, never markup.
        b.wait(lambda: MARKUP in self.section("Common (every language)").text, message="the name with markup")
        self.assertEqual(b.driver.find_elements(By.CSS_SELECTOR, "main img"), [])
        self.assertNotEqual(b.driver.title, "hacked")

        b.choose_file("Upload WAV to Czech…", self.write("hello.wav", wav(40000)))
        self.assertEqual(b.upload_filter(), "wav")
        b.wait(lambda: "hello.wav uploaded." in czech.text and "2.5 s" in czech.text, message="hello in Czech")
        self.assertEqual(repository("Czech"), {"welcome": "1000", "hello": "2500"})
        self.assertEqual(self.server.read("announcements/Czech/hello.wav"), wav(40000))

        # Every language's: 8-bit µ-law at 8000 Hz, a byte a sample.
        b.choose_file("Upload WAV to Common…", self.write("bell.final.wav", wav(12000, audio_format=7, bits=8)))
        common = self.section("Common (every language)")
        b.wait(lambda: "bell" in common.text and "1.5 s" in common.text, message="bell in Common")
        self.assertEqual(repository("Common"), {MARKUP: "500", "bell": "1500"})
        self.assertNotIn("bell", self.section("Czech").text)

        # A file the server would refuse is refused before it is sent: the words name the limit and stand beside the language's upload, and nothing changes.
        for name, content, words in [
            ("stereo.wav", wav(16000, channels=2), '"stereo.wav" has 2 channels: an announcement must be mono.'),
            ("fast.wav", wav(16000, rate=44100), '"fast.wav" is sampled at 44100 Hz: an announcement must be 8000 or 16000 Hz.'),
            ("long.wav", wav(1100000), '"long.wav" is larger than 1 MiB (1,100,044 bytes): an announcement may be at most 1 MiB.'),
        ]:
            with self.subTest(file=name):
                b.choose_file("Upload WAV to English…", self.write(name, content))
                english = self.section("English")
                b.wait(lambda: english.find_elements(By.XPATH, f".//*[@role='alert' and .='{words}']"),
                       message=f"{words!r} beside English's upload")
        self.assertEqual(repository("English"), {})

        # Delete asks first; Cancel keeps the file.
        b.click("Delete hello (Czech)")
        b.wait_text('Delete the announcement "hello" of Czech?')
        b.click("Cancel")
        b.wait_gone('Delete the announcement "hello" of Czech?')
        self.assertIn("hello", repository("Czech"))
        b.click("Delete hello (Czech)")
        b.find("//dialog//button[.='Delete']").click()
        b.wait(lambda: '"hello" deleted.' in self.section("Czech").text)
        self.assertEqual([row.text for row in self.section("Czech").find_elements(By.CSS_SELECTOR, "tbody td:first-child")],
                         ["welcome"])
        self.assertEqual(repository("Czech"), {"welcome": "1000"})
        self.assertFalse(os.path.exists(self.server.path("announcements/Czech/hello.wav")))
        self.assertEqual(b.console_errors(), [])

    def test_translations_are_edited_each_change_undone_alone_and_a_failure_kept(self):
        b = self.browser
        b.open("/#/translations")
        language = Select(b.field("Language"))
        language.select_by_visible_text("Czech")
        door = b.field('Translation of "Door open"')
        b.wait(lambda: door.get_attribute("value") == "Dveře otevřeny")
        self.assertEqual(b.field('Translation of "Fire"').get_attribute("value"), "")

        # A new translation is sent when the field is left, a changed one on Enter.
        b.type('Translation of "Fire"', "Požár")
        b.field('Translation of "Fire"').send_keys(Keys.TAB)
        b.wait(lambda: ("Fire", "Požár") in translations("Czech"), message="Fire in Czech")
        b.type('Translation of "Door open"', "Dveře jsou otevřeny")
        b.field('Translation of "Door open"').send_keys(Keys.ENTER)
        b.wait(lambda: ("Door open", "Dveře jsou otevřeny") in translations("Czech"), message="Door open changed")
        self.assertEqual(sorted(translations("Czech")),
                         [("Door open", "Dveře jsou otevřeny"), ("Empty", ""), ("Fire", "Požár")])
        b.wait(lambda: len(b.driver.find_elements(By.XPATH, "//td[.='Saved']")) == 2)

        # Another language shows its own; coming back shows what the store holds.
        language.select_by_visible_text("English")
        b.wait(lambda: b.field('Translation of "Door open"').get_attribute("value") == "Door open")
        self.assertIn(("Fire", ""), translations("English"))
        language.select_by_visible_text("Czech")
        b.wait(lambda: b.field('Translation of "Fire"').get_attribute("value") == "Požár")

        # Each change stood behind a savepoint of its own, and only one: undo takes back one at a time.
        undo = lambda: json.loads(curl("/tuna/undo.json")[1])  # noqa: E731
        self.assertNotEqual(undo()["status"], "error")
        self.assertEqual(sorted(translations("Czech")),
                         [("Door open", "Dveře otevřeny"), ("Empty", ""), ("Fire", "Požár")])
        self.assertNotEqual(undo()["status"], "error")
        self.assertEqual(sorted(translations("Czech")), [("Door open", "Dveře otevřeny"), ("Empty", ""), ("Fire", "")])
        self.assertEqual(undo(), {"status": "error", "description": "no more savepoints"})

        # The undo behind the page's back removed the row that the page read for Fire: the save fails,
        # the page says why in words and reads the store again, keeping what was typed; the next
        # Enter saves it to the row as it is now.
        fire = b.type('Translation of "Fire"', "Oheň")
        fire.send_keys(Keys.ENTER)
        b.wait(lambda: fire.get_attribute("aria-invalid") == "true", message="the error at Fire")
        row = fire.find_element(By.XPATH, "ancestor::tr")
        self.assertIn("Changed elsewhere meanwhile", row.find_element(By.CSS_SELECTOR, "[role=alert]").text)
        self.assertNotIn("no row with this id", b.text())
        self.assertIn("Not saved", row.text)
        self.assertEqual(fire.get_attribute("value"), "Oheň")
        b.shot("config_translation_error")
        self.assertIn(("Fire", ""), translations("Czech"))
        fire.send_keys(Keys.ENTER)
        b.wait(lambda: ("Fire", "Oheň") in translations("Czech"), message="Fire saved after the list was read again")
        b.wait(lambda: fire.find_element(By.XPATH, "ancestor::tr").text.endswith("Saved"), message="Fire said saved")
        self.assertEqual(b.console_errors(), [])


if __name__ == "__main__":
    unittest.main()
