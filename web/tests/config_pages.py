"""Helpers of the configuration module's browser tests: the store's rows as the server holds them,
the shipped configuration fixtures, and the steps a user takes to open one."""
import json
import os
import urllib.parse

from pages import TEST_DATA_DIR, By, curl

CONFIG_DIR = os.path.join(TEST_DATA_DIR, "config")


def fixture(name):
    return os.path.join(CONFIG_DIR, name)


def rows(table, *columns, **filters):
    """The rows the server holds in `table` with the given columns, as dicts (id always included)."""
    names = list(dict.fromkeys(["id", "name", *columns, *filters]))
    query = urllib.parse.urlencode([(n, filters.get(n, "")) for n in names])
    status, body = curl(f"/tuna/list/{table}?{query}")
    assert status == 200, (status, body)
    return [dict(zip(reversed(names), entries)) for entries in json.loads(body)]


def row_named(table, name, *columns):
    found = [r for r in rows(table, *columns) if r["name"] == name]
    assert len(found) == 1, (table, name, found)
    return found[0]


def configuration_name():
    return rows("Configuration")[-1]["name"]


def open_file(browser, path):
    """Open… and the file chosen in the page's file chooser; waits until the page has opened it. The
    changes that the store holds from an earlier step are discarded when the page asks."""
    browser.choose_file("Open…", path)
    opened = f"Opened {os.path.basename(path)}."

    def done():
        discard = [e for e in browser.driver.find_elements(By.XPATH, "//dialog//button[normalize-space(.)='Discard changes']")
                   if e.is_displayed()]
        if discard:
            discard[0].click()
        return opened in browser.text()
    browser.wait(done, timeout=120, message=f"the text {opened!r}")


def file_name_shown(browser):
    return browser.driver.find_element(By.ID, "file-name").text


def wait_file_name(browser, name):
    browser.wait(lambda: file_name_shown(browser) == name, message=f"the file name {name!r}")


def validation_findings(browser, path):
    """Opens the file and Validate; the findings listed, each as its text."""
    browser.open("/")
    open_file(browser, path)
    browser.open("/#/validate")
    browser.wait(lambda: "finding" in browser.text(), message="the validation's result")
    return [item.text for item in browser.driver.find_elements("css selector", ".findings li")]
