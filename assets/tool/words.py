"""Words drawn into the pictures, from the catalogs of po/.

Drawing code writes every word through word(); inside language(code) it comes back in
that language, outside it in English. A message a catalog lacks (or marks fuzzy) stays
English, so a picture never shows an empty place."""
import contextlib
import functools
import gettext
import io
import os
import subprocess

PO = os.environ.get('BROLIX_PO') or os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), 'po')


def languages():
    """The languages of po/LINGUAS, in its order."""
    try:
        with open(os.path.join(PO, 'LINGUAS'), encoding='utf-8') as f:
            return tuple(w for line in f for w in line.split('#')[0].split())
    except FileNotFoundError:
        return ()


@functools.lru_cache(maxsize=None)
def catalog(code):
    """The catalog of one language, compiled as the game's is (msgfmt leaves fuzzy entries out)."""
    mo = subprocess.run(['msgfmt', '--check-format', '-o', '-', os.path.join(PO, code + '.po')],
                        check=True, capture_output=True).stdout
    return gettext.GNUTranslations(io.BytesIO(mo))


_language = None


@contextlib.contextmanager
def language(code):
    """Words drawn inside come from code's catalog; None or 'en' is English."""
    global _language
    before, _language = _language, None if code in (None, 'en') else code
    try:
        yield
    finally:
        _language = before


def current():
    return _language or 'en'


def word(message):
    """message in the language being drawn."""
    return catalog(_language).gettext(message) if _language else message


def N_(message):
    """Marks a word for the catalogs where it is kept in a table; drawn through word()."""
    return message
