#!/usr/bin/python3
"""The build's steps around the catalogs (one gettext domain, brolix).

usage: catalogs.py pot SOURCE_DIR OUT VERSION       the template from POTFILES and the documents
       catalogs.py update SOURCE_DIR BUILT_POT      po/brolix.pot and every LANG.po brought up to date
       catalogs.py languages SOURCE_DIR LOCALE_DIR OUT   the shipped languages as a C++ header
       catalogs.py manual MASTER PO LANG OUT VERSION        the manual page in one language, gzipped
"""
import gettext
import gzip
import html
import os
import re
import shutil
import subprocess
import sys
import tempfile

DOMAIN = 'brolix'
BUGS = 'brolix@localhost'
# Documents translated paragraph by paragraph by po4a: (po4a format, path).
DOCUMENTS = [('man', 'packaging/brolix.6.in'),
             ('xhtml', 'assets/help/index.html'),
             ('xhtml', 'assets/help/driver.html')]
# How a language calls itself: the one message the build reads from each catalog.
NAME_ID = 'English'
# Where the help page lists the shipped languages.
# po4a may wrap a line inside the tag where a language has no spaces of its own to wrap at.
LANGUAGE_LIST = re.compile(r'<span\s+class="languages"></span>')
DATE_LINE = re.compile(r'^"POT-Creation-Date: .*\\n"\n', re.M)


def linguas(source):
    with open(os.path.join(source, 'po', 'LINGUAS'), encoding='utf-8') as f:
        return [code for line in f for code in line.split('#')[0].split()]


def run(*command, cwd=None):
    """Runs a tool; its deprecation notices are not the build's business."""
    done = subprocess.run(command, cwd=cwd, capture_output=True, text=True)
    noise = [line for line in done.stderr.splitlines() if line.strip() and 'deprecated' not in line]
    if done.returncode != 0 or noise:
        sys.stderr.write('\n'.join(noise) + '\n')
    if done.returncode != 0:
        raise RuntimeError('%s failed (%d)' % (command[0], done.returncode))


def make_pot(source, out, version):
    with tempfile.TemporaryDirectory() as tmp:
        parts = [os.path.join(tmp, 'code.pot')]
        run('xgettext', '--files-from=po/POTFILES', '--from-code=UTF-8', '--add-comments=TRANSLATORS:',
            '--keyword=_', '--keyword=N_', '--keyword=C_:1c,2', '--keyword=NC_:1c,2', '--keyword=word',
            '--package-name=Brolix', '--package-version=' + version, '--msgid-bugs-address=' + BUGS,
            '--output=' + parts[0], cwd=source)
        for k, (form, path) in enumerate(DOCUMENTS):
            parts.append(os.path.join(tmp, 'doc%d.pot' % k))
            run('po4a-updatepo', '--format', form, '--master', path, '--master-charset', 'UTF-8',
                '--po', parts[-1], '--package-name', 'Brolix', '--package-version', version,
                '--msgid-bugs-address', BUGS, cwd=source)
        run('msgcat', '--use-first', '--to-code=UTF-8', '--output-file=' + out, *parts)
    with open(out, encoding='utf-8') as f:
        text = f.read()
    # A template, not a translation: the header keeps xgettext's placeholders.
    text = text.replace('"Content-Type: text/plain; charset=CHARSET\\n"', '"Content-Type: text/plain; charset=UTF-8\\n"')
    with open(out, 'w', encoding='utf-8') as f:
        f.write(text)


def without_date(path):
    with open(path, encoding='utf-8') as f:
        return DATE_LINE.sub('', f.read())


def update(source, built):
    kept = os.path.join(source, 'po', DOMAIN + '.pot')
    if not os.path.exists(kept) or without_date(kept) != without_date(built):
        shutil.copyfile(built, kept)
    for code in linguas(source):
        po = os.path.join(source, 'po', code + '.po')
        if os.path.exists(po):
            run('msgmerge', '--quiet', '--update', '--backup=none', '--previous', po, kept)
        else:
            run('msginit', '--no-translator', '--locale=%s.UTF-8' % code, '--input=' + kept, '--output-file=' + po)


def catalog(locale, code):
    path = os.path.join(locale, code, 'LC_MESSAGES', DOMAIN + '.mo')
    with open(path, 'rb') as f:
        return gettext.GNUTranslations(f)


def own_name(translations):
    """The catalog's name for its language; until that is translated, the team's English one."""
    name = translations.gettext(NAME_ID)
    if name == NAME_ID:
        team = translations.info().get('language-team', '')
        name = team.split('<')[0].strip() or translations.info().get('language', NAME_ID)
    return name


def own_names(source, locale):
    return [(code, own_name(catalog(locale, code))) for code in linguas(source)]


def write_languages(source, locale, out):
    rows = ''.join('    {"%s", "%s"},\\\n' % (code, name.replace('"', '\\"')) for code, name in own_names(source, locale))
    text = ('#pragma once\n// Written by po/catalogs.py from po/LINGUAS and each catalog\'s own name for its language.\n'
            '#define BROLIX_LANGUAGES \\\n%s\n' % rows)
    os.makedirs(os.path.dirname(out), exist_ok=True)
    if not os.path.exists(out) or open(out, encoding='utf-8').read() != text:
        with open(out, 'w', encoding='utf-8') as f:
            f.write(text)


def page_name(page, code):
    stem, ext = os.path.splitext(page)
    return page if code == 'en' else '%s.%s%s' % (stem, code, ext)


def finish_page(text, code, names):
    """The page says its language; links between help pages stay within it; the list of
    languages (code, own name) links each one's page."""
    text = text.replace('<html lang="en">', '<html lang="%s">' % code.replace('_', '-'), 1)
    for page in ('index.html', 'driver.html'):
        text = text.replace('href="%s' % page, 'href="%s' % page_name(page, code))
    items = ', '.join('<a href="%s" lang="%s">%s</a>' % (page_name('index.html', c), c.replace('_', '-'), html.escape(n))
                      for c, n in names)
    return LANGUAGE_LIST.sub(lambda _: '<span class="languages">%s</span>' % items, text)


def translated(form, master, po, code):
    """A document in one language by po4a: paragraphs the catalog lacks stay English."""
    if code == 'en':
        with open(master, encoding='utf-8') as f:
            return f.read()
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, 'document')
        run('po4a-translate', '--format', form, '--master', master, '--master-charset', 'UTF-8', '--po', po,
            '--localized', out, '--localized-charset', 'UTF-8', '--keep', '0')
        with open(out, encoding='utf-8') as f:
            return f.read()


def manual(master, po, code, out, version):
    """The manual page in one language, gzipped as Debian keeps them: no name, no time."""
    text = translated('man', master, po, code).replace('@PROJECT_VERSION@', version)
    os.makedirs(os.path.dirname(out), exist_ok=True)
    with open(out, 'wb') as f, gzip.GzipFile(filename='', mode='wb', compresslevel=9, fileobj=f, mtime=0) as z:
        z.write(text.encode('utf-8'))


def main(argv):
    try:
        step_of(argv)
    except RuntimeError as failed:
        sys.exit(str(failed))


def step_of(argv):
    step, args = argv[1], argv[2:]
    if step == 'pot':
        make_pot(*args)
    elif step == 'update':
        update(*args)
    elif step == 'languages':
        write_languages(*args)
    elif step == 'manual':
        manual(*args)
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main(sys.argv)
