#!/usr/bin/env python3
"""Reads the built help file back with chmlib's tools and checks what the help viewer needs:
every page, the contents and the index inside, Japanese text in code page 932 that decodes to
the sources' text, the language 0x411 and the title.

    check_help_file.py HELP_FILE SOURCE_FOLDER SCREENSHOT_FOLDER
"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

HELP_FILE = SOURCE = SCREENSHOTS = None
TITLE = "TIDEMARROW32 SE ヘルプ"


def sitemap_entries(text):
    """(name, local) of every OBJECT of a contents or index file."""
    entries = []
    for block in re.findall(r"<OBJECT type=\"text/sitemap\">(.*?)</OBJECT>", text, re.S | re.I):
        name = re.search(r'name="Name" value="([^"]*)"', block)
        local = re.search(r'name="Local" value="([^"]*)"', block)
        entries.append((name.group(1) if name else None, local.group(1) if local else None))
    return entries


class HelpFile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.listing = subprocess.run(["enum_chmLib", HELP_FILE], check=True, capture_output=True).stdout.decode(
            "latin-1")
        cls.tmp = tempfile.TemporaryDirectory()
        subprocess.run(["extract_chmLib", HELP_FILE, cls.tmp.name], check=True, capture_output=True)
        cls.out = cls.tmp.name

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def read(self, name):
        with open(os.path.join(self.out, name), "rb") as f:
            return f.read()

    def source_pages(self):
        return sorted(n for n in os.listdir(SOURCE) if n.endswith(".htm"))

    def test_every_page_is_inside_as_shift_jis_with_cr_lf(self):
        pages = self.source_pages()
        self.assertGreaterEqual(len(pages), 10)
        for page in pages:
            self.assertIn("/" + page, self.listing)
            with open(os.path.join(SOURCE, page), encoding="utf-8") as f:
                source = f.read().replace("\r\n", "\n")
            stored = self.read(page)
            self.assertIn(b"\r\n", stored, page)
            self.assertEqual(stored.decode("cp932").replace("\r\n", "\n"), source, page)
            self.assertIn("charset=Shift_JIS", source, page)

    def test_pictures_the_pages_show_are_inside_as_they_are(self):
        shown = set()
        for page in self.source_pages():
            shown.update(re.findall(r'<img src="([^"]+)"', self.read(page).decode("cp932")))
        self.assertGreaterEqual(len(shown), 4)
        for picture in shown:
            with open(os.path.join(SCREENSHOTS, picture), "rb") as f:
                self.assertEqual(self.read(picture), f.read(), picture)

    def test_contents_name_each_page_by_its_title(self):
        contents = self.read("TIDEMARROW.hhc").decode("cp932")
        entries = sitemap_entries(contents)
        self.assertEqual(sorted(local for _, local in entries), self.source_pages())
        for name, local in entries:
            page = self.read(local).decode("cp932")
            title = re.search(r"<title>(.*?)</title>", page, re.S).group(1)
            self.assertEqual(name, title, local)
        self.assertEqual(entries[0], ("はじめに", "index.htm"))

    def test_index_points_at_pages_that_exist(self):
        index = sitemap_entries(self.read("TIDEMARROW.hhk").decode("cp932"))
        self.assertGreaterEqual(len(index), 30)
        pages = set(self.source_pages())
        for name, local in index:
            self.assertTrue(name, local)
            self.assertIn(local, pages, name)
        names = [name for name, _ in index]
        for keyword in ("抹消モード", "代替データストリーム", "SSD", "tmerase", "エラーレポート"):
            self.assertIn(keyword, names)
        # The viewer's index pane reads the binary index.
        self.assertIn("/$WWKeywordLinks/BTree", self.listing)

    def test_system_record_holds_japanese_language_title_and_files(self):
        system = self.read("#SYSTEM")
        records = {}
        offset = 4
        while offset + 4 <= len(system):
            code, length = struct.unpack_from("<HH", system, offset)
            records.setdefault(code, system[offset + 4:offset + 4 + length])
            offset += 4 + length
        self.assertEqual(struct.unpack_from("<I", records[4], 0)[0], 0x0411)
        self.assertEqual(records[3].rstrip(b"\0").decode("cp932"), TITLE)
        self.assertEqual(records[2].rstrip(b"\0").decode("ascii"), "index.htm")
        self.assertEqual(records[0].rstrip(b"\0").decode("ascii"), "TIDEMARROW.hhc")
        self.assertEqual(records[1].rstrip(b"\0").decode("ascii"), "TIDEMARROW.hhk")
        strings = self.read("#STRINGS").decode("cp932")
        self.assertIn(TITLE, strings)
        self.assertIn("上書き抹消で消せないもの", strings)


if __name__ == "__main__":
    HELP_FILE, SOURCE, SCREENSHOTS = sys.argv[1], sys.argv[2], sys.argv[3]
    unittest.main(argv=sys.argv[:1], verbosity=2)
