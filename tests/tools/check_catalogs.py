#!/usr/bin/python3
"""Every marked word reaches po/brolix.pot and words a player reads on standard error are marked.
usage: check_catalogs.py SOURCE_DIR BUILT_POT"""
import os
import re
import subprocess
import sys
import unittest

SOURCE, BUILT = sys.argv[1], sys.argv[2]
MARKED = re.compile(r'\b(?:N?C?_|word)\(\s*["\']')
DATE = re.compile(r'^"POT-Creation-Date: .*\n', re.M)
# What writes to standard error; a line that says "not for players" is for tests and developers.
TO_STDERR = re.compile(r'\b(?:fprintf\s*\(\s*stderr\s*,|fputs\s*\(|perror\s*\(|std::cerr\b)')
EXEMPT = '// not for players'
LITERAL = re.compile(r'"(?:[^"\\\n]|\\.)*"')
MARKING = re.compile(r'\b(?:N?C?_)\(\s*(?:"(?:[^"\\\n]|\\.)*"\s*,?\s*)+\)')


def sources():
    for top in ('app', 'game', 'frontend', 'engine', 'assets'):
        for base, _, files in os.walk(os.path.join(SOURCE, top)):
            for name in sorted(files):
                if name.endswith(('.cpp', '.h', '.py')):
                    path = os.path.join(base, name)
                    with open(path, encoding='utf-8') as source:
                        yield os.path.relpath(path, SOURCE), source.read()


def statement(text, start):
    """The call or stream expression from start to its closing parenthesis or semicolon."""
    depth, at = 0, start
    while at < len(text):
        literal = LITERAL.match(text, at)
        if literal:
            at = literal.end()
            continue
        c = text[at]
        depth += (c == '(') - (c == ')')
        if (c == ')' and depth == 0) or (c == ';' and depth <= 0):
            return text[start:at + 1]
        at += 1
    return text[start:]


def unmarked_on_stderr(text):
    """Literals with words in them (names in capitals are not) written to standard error outside _() and N_()."""
    found = []
    for call in TO_STDERR.finditer(text):
        line_end = text.find('\n', call.start())
        if EXEMPT in text[call.start():line_end if line_end >= 0 else len(text)]:
            continue
        words = MARKING.sub('', statement(text, call.start()))
        found += [literal for literal in LITERAL.findall(words) if re.search('[a-z]{2}', literal.replace('\\n', ''))]
    return found


class Catalogs(unittest.TestCase):
    def test_words_written_to_standard_error_are_marked(self):
        for path, text in sources():
            if path.endswith(('.cpp', '.h')) and not path.startswith('engine/demo/'):
                with self.subTest(path):
                    self.assertEqual(unmarked_on_stderr(text), [], 'a player reads these: mark them with _()')

    def test_the_check_sees_what_it_looks_for(self):
        self.assertEqual(unmarked_on_stderr('std::fprintf(stderr, "cannot %s\\n", f(")"));'), ['"cannot %s\\n"'])
        self.assertEqual(unmarked_on_stderr('fprintf(stderr, _("cannot %s\\n"), _("a" "b"));'), [])
        self.assertEqual(unmarked_on_stderr('fprintf(stderr, "%s: %s\\n", a, b ? b : "SDL");'), [])
        self.assertEqual(unmarked_on_stderr('fputs("lost", stderr);\nstd::cerr << "gone" << x;'), ['"lost"', '"gone"'])
        self.assertEqual(unmarked_on_stderr('fprintf(stderr, "shown %d", n);   ' + EXEMPT), [])

    def test_marked_words_reach_the_template(self):
        with open(os.path.join(SOURCE, 'po', 'POTFILES'), encoding='utf-8') as f:
            listed = {w for line in f if not line.startswith('#') for w in line.split()}
        for path, text in sources():
            with self.subTest(path):
                self.assertFalse(MARKED.search(text) and path not in listed, 'marks words but is not in po/POTFILES')
        committed = open(os.path.join(SOURCE, 'po', 'brolix.pot'), encoding='utf-8').read()
        self.assertNotIn('\nmsgctxt ', committed, 'po4a stops reading a catalog at a context: the help and manual pages lose their translations')
        self.assertEqual(DATE.sub('', committed).splitlines(), DATE.sub('', open(BUILT, encoding='utf-8').read()).splitlines(),
                         'po/brolix.pot is stale: cmake --build build --target update-po')


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1])
