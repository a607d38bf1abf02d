"""The pages as a user meets them: the real server (stavenor/tests/e2e/harness.py) serving the
laid-out www/ of the build, and Debian's Chromium driven through chromedriver, at 1024 x 768.

Helpers find controls by what a person reads on them (a button's text or accessible name, a field's
label) and wait for what a person would see. Screenshots go to SHOTS_DIR.
"""
import os
import shutil
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO_DIR = os.environ.get("REPO_DIR", os.path.abspath(os.path.join(HERE, "../..")))
sys.path.insert(0, os.path.join(REPO_DIR, "stavenor", "tests", "e2e"))
sys.path.insert(0, os.path.join(REPO_DIR, "stavenor", "tests", "peers"))
from harness import BASE, EVENT_BOUND, Lag, Server, curl  # noqa: E402,F401

try:
    from selenium import webdriver
    from selenium.common.exceptions import StaleElementReferenceException, WebDriverException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys  # noqa: F401
    from selenium.webdriver.support.ui import Select  # noqa: F401
except ImportError:  # pragma: no cover
    webdriver = None

WWW_DIR = os.environ.get("WWW_DIR", "")
SHOTS_DIR = os.environ.get("SHOTS_DIR", os.path.join(tempfile.gettempdir(), "web-screenshots"))
TEST_DATA_DIR = os.environ.get("TEST_DATA_DIR", os.path.join(REPO_DIR, "stavenor", "tests", "data"))
WIDTH, HEIGHT = 1024, 768


def www_files():
    """The laid-out pages as files for Server(files=...)."""
    if not WWW_DIR or not os.path.isdir(WWW_DIR):
        raise unittest.SkipTest("WWW_DIR is not set to the build's laid-out pages")
    files = {}
    for top, _, names in os.walk(WWW_DIR):
        for name in names:
            full = os.path.join(top, name)
            with open(full, "rb") as f:
                files["www/" + os.path.relpath(full, WWW_DIR)] = f.read()
    return files


def start_server(files=None, **kwargs):
    """A server in a fresh directory with the pages and `files` (relative path -> content)."""
    return Server(files={**www_files(), **(files or {})}, **kwargs)


def xpath_literal(text):
    if "'" not in text:
        return f"'{text}'"
    return "concat('" + "', \"'\", '".join(text.split("'")) + "')"


class Browser:
    """One headless Chromium with a profile and a download folder of its own."""

    def __init__(self):
        if webdriver is None:
            raise unittest.SkipTest("python3-selenium is not installed (scripts/install-deps installs it)")
        for tool in ("/usr/bin/chromium", "/usr/bin/chromedriver"):
            if not os.path.exists(tool):
                raise unittest.SkipTest(f"{tool} is not installed (scripts/install-deps installs it)")
        self.home = tempfile.mkdtemp(prefix="pages-")
        self.downloads = os.path.join(self.home, "Downloads")
        os.makedirs(self.downloads)
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", f"--window-size={WIDTH},{HEIGHT}",
                     f"--user-data-dir={os.path.join(self.home, 'profile')}"):
            options.add_argument(flag)
        options.add_experimental_option("prefs", {
            "download.default_directory": self.downloads,
            "download.prompt_for_download": False,
        })
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        service = Service("/usr/bin/chromedriver", log_path=os.path.join(self.home, "chromedriver.log"))
        self.driver = webdriver.Chrome(service=service, options=options)
        self.driver.set_window_size(WIDTH, HEIGHT)
        # The page itself gets 1024 x 768, as in a window of that size without a browser's bars.
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                    {"width": WIDTH, "height": HEIGHT, "deviceScaleFactor": 1, "mobile": False})
        # File choosers never open a dialog here: the test hands the file to the page's file input.
        self.driver.execute_cdp_cmd("Page.setInterceptFileChooserDialog", {"enabled": True})
        self.driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                                    {"behavior": "allow", "downloadPath": self.downloads})

    def close(self):
        try:
            self.driver.quit()
        finally:
            shutil.rmtree(self.home, ignore_errors=True)

    # --- navigation and waiting

    def open(self, path="/"):
        self.driver.get(BASE + path)
        self.wait(lambda: self.driver.execute_script("return document.readyState") == "complete")

    def wait(self, condition, timeout=EVENT_BOUND, message="condition"):
        deadline = time.time() + timeout
        last = None
        while time.time() < deadline:
            try:
                value = condition()
                if value:
                    return value
            except (StaleElementReferenceException, WebDriverException) as e:
                last = e
            time.sleep(0.05)
        raise AssertionError(f"waited {timeout} s for {message}" + (f" ({last})" if last else ""))

    def text(self):
        """All text the page shows."""
        return self.driver.find_element(By.TAG_NAME, "body").text

    def wait_text(self, text, timeout=EVENT_BOUND):
        return self.wait(lambda: text in self.text(), timeout, f"the text {text!r}")

    def wait_gone(self, text, timeout=EVENT_BOUND):
        return self.wait(lambda: text not in self.text(), timeout, f"the text {text!r} to go")

    # --- controls by what a person reads on them

    def find(self, xpath, timeout=EVENT_BOUND, message=None):
        def visible():
            for e in self.driver.find_elements(By.XPATH, xpath):
                if e.is_displayed():
                    return e
            return None
        return self.wait(visible, timeout, message or xpath)

    def button(self, name, timeout=EVENT_BOUND):
        n = xpath_literal(name)
        return self.find(f"//*[(self::button or self::a or @role='button' or @role='tab' or @role='menuitem')"
                         f" and (normalize-space(.)={n} or @aria-label={n} or @title={n})]",
                         timeout, f"a control named {name!r}")

    def click(self, name, timeout=EVENT_BOUND):
        element = self.button(name, timeout)
        self.wait(lambda: element.is_enabled(), timeout, f"{name!r} to be enabled")
        element.click()
        return element

    def field(self, label, timeout=EVENT_BOUND):
        n = xpath_literal(label)
        control = "(self::input or self::select or self::textarea)"
        return self.find(f"//*[{control} and (@aria-label={n} or @id=//label[normalize-space(.)={n}]/@for)]"
                         f" | //label[normalize-space(.)={n}]//*[{control}]",
                         timeout, f"a field labelled {label!r}")

    def type(self, label, value):
        element = self.field(label)
        element.clear()
        element.send_keys(value)
        return element

    def retype(self, label, text):
        """Replaces a field's text by typing over it, as a person does (a field cleared from outside may
        be drawn again with its text before the first key). The field is found again for each key,
        since a page may draw it anew between them."""
        self.field(label).send_keys(Keys.CONTROL, "a")
        self.field(label).send_keys(text if text else Keys.BACKSPACE)

    def choose_file(self, button_name, path):
        """Clicks the control that opens a file chooser and chooses `path` in it."""
        self.click(button_name)
        self.driver.find_element(By.ID, "fileInput").send_keys(path)

    def upload_filter(self):
        return self.driver.find_element(By.ID, "uploadFilter").get_attribute("value")

    # --- what the browser noticed

    def console_errors(self):
        """Console errors and CSP reports since the last call."""
        return [e for e in self.driver.get_log("browser") if e.get("level") == "SEVERE"]

    def shot(self, name):
        os.makedirs(SHOTS_DIR, exist_ok=True)
        path = os.path.join(SHOTS_DIR, name + ".png")
        self.driver.save_screenshot(path)
        return path

    def wait_download(self, suffix, timeout=EVENT_BOUND):
        """The path of the first download ending in `suffix`, once Chromium has written all of it."""
        sizes = {}

        def done():
            names = os.listdir(self.downloads)
            if any(n.endswith(".crdownload") for n in names):
                return None
            found = [n for n in names if n.endswith(suffix)]
            if not found:
                return None
            path = os.path.join(self.downloads, found[0])
            # Written in place by some versions: whole once its size holds between two looks.
            size = os.path.getsize(path)
            stable = sizes.get(path) == size
            sizes[path] = size
            return path if stable else None
        return self.wait(done, timeout, f"a download ending in {suffix!r}")


class PageTest(unittest.TestCase):
    """A server with the pages and a browser, fresh for each test class."""

    server_files = None

    @classmethod
    def setUpClass(cls):
        cls.server = start_server(cls.server_files)
        try:
            cls.browser = Browser()
        except BaseException:
            cls.server.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()
        cls.server.close()
