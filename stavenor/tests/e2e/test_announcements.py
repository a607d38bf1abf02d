"""The announcement repository and the audio-setup translations through the running server."""
import io
import json
import os
import re
import shutil
import struct
import sys
import tempfile
import unittest
import urllib.parse
import wave

sys.path.insert(0, os.path.dirname(__file__))
from harness import Server, curl  # noqa: E402

REPOSITORY = "/tuna/globalAudioSetupAudioRepository.json"
SUCCESS = b'{\n\t"status" : "success"\n}\n'


def wav(rate=8000, channels=1, width=2, frames=8000):
    """A PCM WAV file of silence made by the wave module: the canonical 44-byte header."""
    out = io.BytesIO()
    with wave.open(out, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(width)
        w.setframerate(rate)
        w.writeframes(b"\0" * (frames * channels * width))
    data = out.getvalue()
    assert len(data) == 44 + frames * channels * width
    return data


def with_riff_size(data, size):
    return data[:4] + struct.pack("<I", size) + data[8:]


def error(description):
    return ('{\n\t"status" : "error",\n\t"description" : "%s"\n}\n' % description).encode()


class Announcements(unittest.TestCase):
    def setUp(self):
        self.server = Server(args=("-l", "0x1001"), files={"announcements/.keep": ""})
        self.addCleanup(self.server.close)
        self.files = tempfile.mkdtemp(prefix="announcement-files-")
        self.addCleanup(shutil.rmtree, self.files, True)

    def upload(self, data, file_name="clip.wav", **fields):
        path = os.path.join(self.files, file_name)
        with open(path, "wb") as f:
            f.write(data)
        args = ["-F", "command=new_file", "-F", f"file=@{path}"]
        for name, value in fields.items():
            args += ["-F", f"{name}={value}"]
        status, body = curl(REPOSITORY, *args)
        self.assertEqual(status, 200, body)
        json.loads(body)
        return body

    def command(self, path, **fields):
        query = urllib.parse.urlencode(fields)
        status, body = curl(path + ("?" + query if query else ""))
        self.assertEqual(status, 200, body)
        return body, json.loads(body)

    def test_valid_upload_lands_in_its_language_and_is_listed(self):
        data = wav()
        self.assertEqual(self.upload(data, code="English", name="hello"), SUCCESS)
        self.assertEqual(self.server.read("announcements/English/hello.wav"), data)
        self.assertEqual(self.upload(wav(rate=16000, frames=4000), "beep.wav"), SUCCESS)  # name from the file
        self.assertEqual(self.server.read("announcements/beep.wav"), wav(rate=16000, frames=4000))

        _, rows = self.command("/tuna/list/globalAudioSetupAudioRepository.json", name="hello")
        hello_id = rows["id"][0]
        _, english = self.command(REPOSITORY, languageId="English")
        self.assertEqual(english, [["hello", hello_id, "1000"], ["beep", "", ""]])
        _, common = self.command(REPOSITORY)
        self.assertEqual([row[0] for row in common], ["hello", "beep"])
        self.assertEqual(common[0][1:], ["", ""])
        self.assertEqual(common[1][2], "250")

        body, _ = self.command(REPOSITORY, command="delete_file", code="English", name="hello")
        self.assertEqual(body, SUCCESS)
        self.assertFalse(os.path.exists(self.server.path("announcements/English/hello.wav")))
        _, english = self.command(REPOSITORY, languageId="English")
        self.assertEqual(english, [["beep", "", ""]])

    def test_upload_is_logged_chunk_by_chunk(self):
        data = wav(frames=100000)  # many chunks of the daemon's POST buffer
        self.assertEqual(self.upload(data, "long.wav", name="long"), SUCCESS)
        prefix = r"http daemon handler - \[POST\] parameter handler has "
        first = re.findall(prefix + r"new parameter: file \[FILE\] - saving to (\S+) and start collecting chunks "
                           r"\((\d+) bytes\)\n", self.server.stderr())
        later = re.findall(prefix + r"existing parameter: file \[FILE\] - saving to (\S+) and continue collecting "
                           r"chunks \((\d+) bytes\)\n", self.server.stderr())
        self.assertEqual(len(first), 1, first)
        self.assertTrue(first[0][0].endswith("/long.wav"), first)
        self.assertTrue(later, "no later chunk")
        self.assertEqual({path for path, _ in later}, {first[0][0]})
        self.assertEqual(sum(int(size) for _, size in first + later), len(data))

    def test_unacceptable_files_get_their_errors(self):
        good = wav()
        cases = [
            ("stereo", wav(channels=2), "not mono"),
            ("RIFF size wrapping negative", with_riff_size(good, 0x80000000), "unknown (-2147483640)"),
            ("8-bit PCM", wav(width=1), "wrong bits per sample"),
            ("44100 Hz", wav(rate=44100), "wrong sampling rate"),
            ("not a WAV file", b"ID3" + b"\0" * 100, "not WAV file"),
            ("20 bytes", good[:20], "unknown (0)"),
            ("larger than 1 MiB", wav(frames=(1 << 19)), "file too large"),
        ]
        for what, data, description in cases:
            with self.subTest(what):
                self.assertEqual(self.upload(data, code="English", name="clip"), error(description))
                self.assertFalse(os.path.exists(self.server.path("announcements/English/clip.wav")))
        _, listed = self.command(REPOSITORY, languageId="English")
        self.assertEqual(listed, [])

    def test_names_never_leave_the_repository(self):
        cases = [
            ({"name": "../../escaped"}, "invalid name"),
            ({"name": ".hidden"}, "invalid name"),
            ({"name": "ok", "code": ".."}, "invalid language"),
            ({"name": "ok", "code": "../../outside"}, "invalid language"),
        ]
        for fields, description in cases:
            with self.subTest(**fields):
                self.assertEqual(self.upload(wav(), **fields), error(description))
                body, _ = self.command(REPOSITORY, command="delete_file", **fields)
                self.assertEqual(body, error(description))
        found = []
        for root, _, files in os.walk(self.server.dir):
            found += [os.path.relpath(os.path.join(root, f), self.server.dir) for f in files]
        self.assertFalse([f for f in found if f.endswith(".wav") and not f.startswith("tmp/")], found)

        # The upload is read from the request's own file, never from a path the request names.
        body, _ = self.command(REPOSITORY, command="new_file", file="/etc/passwd", name="stolen")
        self.assertEqual(body, error("no file"))

    def test_what_follows_the_header_is_not_judged(self):
        good = wav()
        cases = [
            ("padding byte", good + b"\0", "1000"),
            ("trailing chunk", good + b"LIST\4\0\0\0INFO", "1000"),
            ("header without data", wav(frames=0), "0"),
            ("RIFF size beyond the file", with_riff_size(good, len(good) + 92), "1000"),  # the bytes received
            ("RIFF size short of the file", with_riff_size(good, 36), "1000"),
        ]
        for what, data, duration in cases:
            with self.subTest(what):
                self.assertEqual(self.upload(data, code="English", name="clip"), SUCCESS)
                self.assertEqual(self.server.read("announcements/English/clip.wav"), data)
                _, listed = self.command(REPOSITORY, languageId="English")
                self.assertEqual([(row[0], row[2]) for row in listed], [("clip", duration)])
                body, _ = self.command(REPOSITORY, command="delete_file", code="English", name="clip")
                self.assertEqual(body, SUCCESS)

    def test_start_up_scan_registers_the_repository(self):
        self.server.close()  # the port is the new server's
        padded = wav() + b"\0"
        server = Server(args=("-l", "0x1"), files={
            "announcements/English/hi.wav": wav(),
            "announcements/English/padded.wav": padded,
            "announcements/English/long.wav": with_riff_size(wav(), 16044 + 92),
            "announcements/gong.wav": wav(rate=16000),
            "announcements/English/notes.txt": "not a sound\n",
            "announcements/German/stereo.wav": wav(channels=2),
        })
        self.addCleanup(server.close)
        self.assertFalse(os.path.exists(server.path("announcements/English/notes.txt")))
        self.assertFalse(os.path.exists(server.path("announcements/German/stereo.wav")))
        self.assertEqual(server.read("announcements/English/padded.wav"), padded)
        _, english = self.command(REPOSITORY, languageId="English")
        # The duration follows the length the header declares, not the file's.
        self.assertEqual(sorted((row[0], row[2]) for row in english),
                         [("gong", ""), ("hi", "1000"), ("long", "1006"), ("padded", "1000")])
        self.assertEqual(self.upload(padded, code="English", name="padded"), SUCCESS)
        _, languages = self.command("/tuna/list/globalOverviewLanguages.json")
        for language in ("English", "German"):
            self.assertIn(language, languages["name"])

    def test_translations_list_the_texts(self):
        body, _ = self.command("/tuna/globalAudioSetupTranslations.json")
        self.assertEqual(body, b"[]\n")
        for name in ("Hello", "Goodbye"):
            _, r = self.command("/tuna/insert/Texts.json", name=name)
            self.assertEqual(r["status"], "success", r)
        _, r = self.command("/tuna/insert/globalAudioSetupTranslations.json", name="Hello", translation="Hallo",
                            languageId="German")
        hallo = r["id"]

        body, _ = self.command("/tuna/globalAudioSetupTranslations.json", languageId="German")
        self.assertEqual(body, f'[["Hello", "Hallo", "{hallo}"], ["Goodbye", "", ""]]\n'.encode())
        body, _ = self.command("/tuna/globalAudioSetupTranslations.json", languageId="French")
        self.assertEqual(body, b'[["Hello", "", ""], ["Goodbye", "", ""]]\n')
        body, _ = self.command("/tuna/globalAudioSetupTranslations.json")
        self.assertEqual(body, b'[["Hello", ""], ["Goodbye", ""]]\n')


if __name__ == "__main__":
    unittest.main()
