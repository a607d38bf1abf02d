"""Open, Save, Open loses nothing silently: for every configuration of the repository, each value of
the file that Save would not write again is accounted for, either by a Validate finding that the page
shows before the Save or by what the import and export always do with it; and the next Save of what
was saved writes the same file."""
import os
import tempfile
import unittest
import urllib.parse

from config_pages import fixture, open_file, validation_findings
from pages import REPO_DIR, PageTest, curl

# The import keeps no reference to a name that names nothing (Open drops it; the store never holds it).
UNNAMED = "Open: the reference names nothing"
# The export numbers a unit's own PPP links from ppp12, and names them so in its routing.
RENUMBERED = "Save: the unit's PPP links are numbered from ppp12"

# (file, [(the start of a lost value's path, a Validate finding or what the Parts do)])
CASES = [
    (os.path.join(REPO_DIR, "run", "default.conf"), []),
    (fixture("devices.conf"), []),
    (fixture("network.conf"), []),
    (fixture("operators.conf"), []),
    (fixture("system_sections.conf"), []),
    (fixture("kept_items.conf"), [
        ("nodes/CU-1/network/interfaces/ppp9", RENUMBERED),
        ("nodes/CU-1/network/routing/ppp9", RENUMBERED),
        ("nodes/CU-1/network/static routes/10.2.0.0/255.255.0.0 via ppp15",
         "Static routes: CU-1, route 2 — Static route 2 goes through an interface that CU-1 does not have: "
         "Save will leave it out."),
        ("system/sip aliases/Ghost", UNNAMED),
        ("users/Anna/automatic radio", UNNAMED),
        ("users/Anna/ffs menu/position 1/", UNNAMED),
        ("users/Anna/fk menu/key 1/conference radio", UNNAMED),
        ("users/Anna/follow user", UNNAMED),
    ]),
    (fixture("kept_values.conf"), [
        ("nodes/CU-K/network/static routes/10.2.0.0/255.255.0.0 via ppp12",
         "Static routes: CU-K, route 1 — Static route 1 goes through an interface that CU-K does not have: "
         "Save will leave it out."),
    ]),
]


def values(text):
    """Every node of a ".conf" text as (path, value), but the date; a static route, whose key the
    export renumbers, as one node named by its target and gateway, its value the metric."""
    found, path, routes = set(), [], []
    for line in text.split("\n"):
        if not line.startswith(("|", "\t")):
            continue
        depth = len(line) - len(line.lstrip("\t"))
        key, _, rest = line.lstrip("\t")[1:].partition("|")
        path = path[:depth] + [key]
        value = rest[4:-1] if rest.startswith(" = |") else None
        if len(path) == 5 and path[3] == "static routes":
            routes.append({"at": "/".join(path[:4])})
        elif len(path) == 6 and path[3] == "static routes":
            routes[-1][key] = value
        elif path != ["system", "date"]:
            found.add(("/".join(path), value))
    return found | {(f"{r['at']}/{r.get('route target')} via {r.get('target device') or r.get('target ip')}",
                     r.get("metric")) for r in routes}


def saved_text():
    status, body = curl("/tuna/configurationFile.json?" + urllib.parse.urlencode({"command": "save_file", "saveAs": "1"}))
    assert status == 200, status
    return body.decode()


class RoundTripTest(PageTest):
    def test_what_save_would_not_write_again_is_a_finding_or_what_the_parts_do(self):
        b = self.browser
        for path, accounted in CASES:
            with self.subTest(file=os.path.basename(path)):
                findings = validation_findings(b, path)
                with open(path, encoding="utf-8") as f:
                    opened = values(f.read())
                s1 = saved_text()
                lost = sorted(p for p, v in opened - values(s1) if not p.startswith("system/icons"))
                # Each lost value has its reason, and each reason a lost value.
                reasons = {p: [why for start, why in accounted if p.startswith(start)] for p in lost}
                self.assertEqual({p: len(r) for p, r in reasons.items() if len(r) != 1}, {})
                self.assertEqual([start for start, _ in accounted if not any(p.startswith(start) for p in lost)], [])
                # Every reason that is no rule of the Parts is said by Validate, and Validate says nothing else.
                self.assertEqual(sorted({why for _, why in accounted if why not in (UNNAMED, RENUMBERED)}), sorted(findings))
                # What was saved is saved again as it is.
                saved = os.path.join(tempfile.mkdtemp(), "s1.conf")
                with open(saved, "w", encoding="utf-8") as f:
                    f.write(s1)
                open_file(b, saved)
                s2 = saved_text()
                self.assertEqual(values(s2) - values(s1), set())
                self.assertEqual(values(s1) - values(s2), set())


if __name__ == "__main__":
    unittest.main()
