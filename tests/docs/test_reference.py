"""The configuration reference names exactly the keys the launcher reads and writes."""
import os
import re
import unittest

SOURCE = os.environ.get("KIV_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
# A key in the code: a wide literal starting with "kiv." or "build."; one ending in "." is the
# front of a family of keys (written "<...>" in the reference).
CODE_KEY = re.compile(r'L"((?:kiv|build)\.[A-Za-z0-9._-]*)')
DOC_KEY = re.compile(r'`((?:kiv|build)\.[A-Za-z0-9._<>-]*)')


def code_keys():
    keys = set()
    for folder, _, files in os.walk(os.path.join(SOURCE, "launcher")):
        for name in files:
            if name.endswith(".cpp"):
                with open(os.path.join(folder, name), encoding="utf-8") as f:
                    keys.update(CODE_KEY.findall(f.read()))
    return keys


def doc_keys():
    with open(os.path.join(SOURCE, "docs", "configuration.md"), encoding="utf-8") as f:
        return set(DOC_KEY.findall(f.read()))


def family(key):
    """"kiv.nl.env.<name>" and "kiv.nl.env." both stand for the family "kiv.nl.env."."""
    return key.split("<")[0]


class ConfigurationReference(unittest.TestCase):
    def test_every_key_of_the_code_is_documented(self):
        documented = {family(k) for k in doc_keys()}
        missing = sorted(k for k in code_keys() if k not in documented
                         and not any(d.startswith(k) for d in documented if k.endswith(".")))
        self.assertEqual(missing, [])

    def test_the_reference_names_no_key_the_code_does_not_know(self):
        known = code_keys()
        unknown = sorted(k for k in doc_keys()
                         if family(k) not in known
                         and not any(family(k).startswith(c) for c in known if c.endswith(".")))
        self.assertEqual(unknown, [])


if __name__ == "__main__":
    unittest.main()
