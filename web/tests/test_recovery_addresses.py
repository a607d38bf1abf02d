"""Addresses that cannot work are refused beside their field with the reason, and the server keeps
the ones it holds; the server refuses the same addresses when they come without the page."""
import json
import unittest
import urllib.parse

from pages import curl
from recovery_support import MIB, RecoveryPageTest

# (field, address, the reason's words, whether the page itself refuses it before sending: only a text
# that is no address at all; every other reason is the server's own sentence). Inside the test's namespace the PC's address is loopback's, 127.0.0.1 in 127.0.0.0/8.
BAD = [
    ("Unit address", "127.0.0.1", "127.0.0.1 is the PC's own address", False),
    ("Unit address", "10.0.0.5", "10.0.0.5 is outside the PC's network 127.0.0.0/8", False),
    ("Unit address", "0.0.0.0", "0.0.0.0 means “no address”", False),
    ("Unit address", "255.255.255.255", "255.255.255.255 is the broadcast address", False),
    ("Unit address", "127.255.255.255", "is the broadcast address of the PC's network 127.0.0.0/8", False),
    ("Unit address", "127.0.0.010", "is not an IPv4 address", True),
    ("PC address", "0.0.0.0", "0.0.0.0 means “no address”", False),
    ("PC address", "255.255.255.255", "255.255.255.255 is the broadcast address", False),
    ("PC address", "UNIT", "is the unit's address", False),
    ("PC address", "127.0.0.1.", "is not an IPv4 address", True),
]
COMMAND = {"Unit address": "central_unit_address", "PC address": "server_address"}


def held():
    status, body = curl("/curtain/?command=send_server_address")
    return json.loads(body)


class Addresses(RecoveryPageTest):
    console_options = {"mode": "uboot", "flash_mb": 32}

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        curl("/curtain/?" + urllib.parse.urlencode({"command": "portSelected", "data": cls.unit.link}))

    def cases(self):
        unit = held()["centralUnitAddress"]
        return [(field, unit if address == "UNIT" else address, reason, by_page) for field, address, reason, by_page in BAD]

    def test_the_page_refuses_each_beside_its_field(self):
        b = self.browser
        b.open("/curtain.html")
        b.wait_text("boot loader")
        self.choose_port()
        before = held()
        self.assertRegex(before["centralUnitAddress"], r"^127\.0\.0\.\d+$")
        for field, address, reason, by_page in self.cases():
            with self.subTest(field=field, address=address):
                self.browser.retype(field, address)
                b.click("Set " + field)
                error_id = {"Unit address": "unit-address-error", "PC address": "server-address-error"}[field]
                shown = b.wait(lambda: reason in b.driver.find_element("id", error_id).text and
                               b.driver.find_element("id", error_id).text, 5, f"{reason!r} beside {field}")
                self.assertIn("The address in use stays", shown)
                self.assertEqual(b.field(field).get_attribute("aria-invalid"), "true")
                self.assertEqual(held(), before)
                sent = f"address `{address}` refused" in self.server.stderr()
                self.assertEqual(sent, not by_page, "refused by the page before sending" if by_page else "sent")
        b.shot("recovery-address-refused")

        # A good one is taken, and the reason goes.
        self.browser.retype("Unit address", "127.0.0.77")
        b.click("Set Unit address")
        b.wait(lambda: held()["centralUnitAddress"] == "127.0.0.77", message="the new unit address")
        b.wait(lambda: not b.driver.find_elements("id", "unit-address-error"), message="the unit address's reason to go")
        self.assertEqual(b.console_errors(), [])

    def test_a_pc_address_change_checks_the_unit_address(self):
        b = self.browser
        b.open("/curtain.html")
        b.wait_text("boot loader")
        self.choose_port()
        path, _ = self.image(32 * MIB)
        b.choose_file("Choose image…", path)
        b.wait_text("Loaded:")
        b.wait(lambda: b.button("Start").is_enabled(), message="Start to be offered")
        pc, unit = held()["serverAddress"], held()["centralUnitAddress"]
        self.addCleanup(curl, "/curtain/?" + urllib.parse.urlencode({"command": "server_address", "data": pc}))

        # The PC address alone is fine; beside the unit address it is not.
        self.browser.retype("PC address", "10.0.0.1")
        b.click("Set PC address")
        b.wait(lambda: held()["serverAddress"] == "10.0.0.1", message="the new PC address")
        reason = f"{unit} is outside the PC's network 10.0.0.0/24: the unit could not reach the PC at 10.0.0.1."
        notice = b.wait(lambda: b.driver.find_elements("id", "unit-address-notice"), message="the unit address's notice")
        self.assertEqual(notice[0].text, reason)
        self.assertEqual(b.field("Unit address").get_attribute("aria-invalid"), "true")
        self.assertFalse(b.button("Start").is_enabled())
        self.assertIn("Not ready: the unit could not reach the PC with these addresses.", b.text())
        self.assertIn("Start waits for addresses that work together: " + reason, b.text())
        # Neither field is locked: either mends it.
        self.assertTrue(b.field("PC address").is_enabled())
        self.assertTrue(b.field("Unit address").is_enabled())
        b.shot("recovery-addresses-apart")

        self.browser.retype("PC address", pc)
        b.click("Set PC address")
        b.wait(lambda: not b.driver.find_elements("id", "unit-address-notice"), message="the notice to go")
        b.wait(lambda: b.button("Start").is_enabled(), message="Start to be offered again")
        self.assertNotIn("Start waits", b.text())
        self.assertEqual(held()["centralUnitAddress"], unit)

    def test_the_server_refuses_each_sent_directly(self):
        before = held()
        for field, address, reason, _ in self.cases():
            with self.subTest(field=field, address=address):
                query = urllib.parse.urlencode({"command": COMMAND[field], "data": address})
                status, body = curl("/curtain/?" + query)
                self.assertEqual(status, 200)
                answer = json.loads(body)
                self.assertEqual(answer["status"], "error")
                self.assertIn(reason, answer["description"])
                self.assertEqual(held(), before)


if __name__ == "__main__":
    unittest.main()
