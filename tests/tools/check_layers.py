#!/usr/bin/python3
"""Fails when a source file includes a header of a layer above or beside its own.
usage: check_layers.py SOURCE_DIR

The rules (game/rules/) see nothing of the engine, so they run without a window or a device;
the score server replays records, so it sees the rules alone. A header named *_local.h is
for its own folder only; a header name in two layers is an error of its own.
"""
import os
import re
import sys

BELOW = {'engine': set(), 'rules': set(), 'game': {'engine', 'rules'}, 'frontend': {'engine', 'rules', 'game'},
         'server': {'rules'},
         'app': {'engine', 'rules', 'game', 'frontend'}}
GENERATED = {'brolix_layout.h': 'game', 'brolix_glyphs.h': 'game', 'scorehost.h': 'game', 'makers.h': 'frontend',
             'brolix_resources.h': 'app', 'brolix_languages.h': 'game'}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def layer_of(path, root):
    parts = os.path.relpath(path, root).split(os.sep)
    return 'rules' if parts[:2] == ['game', 'rules'] else parts[0] if parts[0] in BELOW else None


def sources(root):
    for layer in ['engine', 'game', 'frontend', 'app', 'server']:   # the rules are walked with game/
        for folder, _, names in os.walk(os.path.join(root, layer)):
            yield from (os.path.join(folder, n) for n in sorted(names) if n.endswith(('.h', '.cpp', '.in')))


def upward_includes(root):
    headers, problems = dict(GENERATED), []
    for path in sources(root):
        name, layer = os.path.basename(path).replace('.h.in', '.h'), layer_of(path, root)
        if name.endswith('.h') and headers.setdefault(name, layer) != layer:
            problems.append('%s is a header of both %s and %s' % (name, headers[name], layer))
    for path in sources(root):
        own = layer_of(path, root)
        with open(path, encoding='utf-8') as f:
            for number, line in enumerate(f, 1):
                target = (INCLUDE.match(line) or [None, None])[1]
                if not target:
                    continue
                relative = os.path.normpath(os.path.join(os.path.dirname(path), target))
                layer = layer_of(relative, root) if '/' in target else headers.get(os.path.basename(target))
                why = 'not below it' if layer not in BELOW[own] else 'private to it' if target.endswith('_local.h') else ''
                if layer and layer != own and why:
                    problems.append('%s:%d: %s includes %s, a header of %s, %s' % (
                        os.path.relpath(path, root), number, own, target, layer, why))
    return problems


if __name__ == '__main__':
    problems = upward_includes(sys.argv[1])
    print('\n'.join(problems + ['app -> frontend -> game -> engine, rules; server -> rules: %d wrong-way includes' % len(problems)]))
    sys.exit(1 if problems else 0)
