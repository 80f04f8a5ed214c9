#!/usr/bin/env python3
"""Reads the built help file back with chmlib's tools: every page, picture, the contents and the
index inside, the text in code page 932 as the sources say it, language 0x411 and the title.

    check_help_file.py HELP_FILE SOURCE_FOLDER SCREENSHOT_FOLDER
"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

ARGS = sys.argv[1:4]


def sitemap(text):
    """(name, local) of every entry of a contents or index file."""
    return re.findall(r'<OBJECT type="text/sitemap">\s*<param name="Name" value="([^"]*)">'
                      r'\s*<param name="Local" value="([^"]*)">', text)


class HelpFile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        chm, cls.source, cls.screenshots = ARGS
        cls.listing = subprocess.run(["enum_chmLib", chm], check=True, capture_output=True).stdout.decode("latin-1")
        cls.tmp = tempfile.TemporaryDirectory()
        subprocess.run(["extract_chmLib", chm, cls.tmp.name], check=True, capture_output=True)
        cls.pages = sorted(n for n in os.listdir(cls.source) if n.endswith(".htm"))

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def read(self, name, folder=None):
        with open(os.path.join(folder or self.tmp.name, name), "rb") as f:
            return f.read()

    def test_pages_and_pictures_are_inside_as_written(self):
        self.assertGreaterEqual(len(self.pages), 10)
        pictures = set()
        for page in self.pages:
            self.assertIn("/" + page, self.listing)
            stored = self.read(page)
            self.assertIn(b"\r\n", stored, page)
            text = stored.decode("cp932").replace("\r\n", "\n")
            self.assertEqual(text, self.read(page, self.source).decode("utf-8"), page)
            pictures.update(re.findall(r'<img src="([^"]+)"', text))
        self.assertGreaterEqual(len(pictures), 4)
        for picture in pictures:
            self.assertEqual(self.read(picture), self.read(picture, self.screenshots), picture)

    def test_contents_and_index_name_pages_that_exist(self):
        contents = sitemap(self.read("TIDEMARROW.hhc").decode("cp932"))
        self.assertEqual(contents[0], ("はじめに", "index.htm"))
        self.assertEqual(sorted(local for _, local in contents), self.pages)
        for name, local in contents:
            self.assertIn("<title>%s</title>" % name, self.read(local).decode("cp932"))
        index = sitemap(self.read("TIDEMARROW.hhk").decode("cp932"))
        self.assertGreaterEqual(len(index), 30)
        self.assertTrue(all(local in self.pages for _, local in index))
        for keyword in ("抹消モード", "代替データストリーム", "SSD", "tmerase", "エラーレポート"):
            self.assertIn(keyword, [name for name, _ in index])
        self.assertIn("/$WWKeywordLinks/BTree", self.listing)  # the binary index the viewer reads

    def test_system_record_holds_language_title_and_files(self):
        system, records, offset = self.read("#SYSTEM"), {}, 4
        while offset + 4 <= len(system):
            code, length = struct.unpack_from("<HH", system, offset)
            records.setdefault(code, system[offset + 4:offset + 4 + length].rstrip(b"\0"))
            offset += 4 + length
        self.assertEqual(struct.unpack_from("<I", records[4])[0], 0x0411)
        self.assertEqual(records[3].decode("cp932"), "TIDEMARROW32 SE ヘルプ")
        self.assertEqual([records[c] for c in (0, 1, 2)], [b"TIDEMARROW.hhc", b"TIDEMARROW.hhk", b"index.htm"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
