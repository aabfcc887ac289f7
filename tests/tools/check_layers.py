#!/usr/bin/python3
"""Fails when a source file includes a header of a layer above its own.

usage: check_layers.py SOURCE_DIR

Each folder may include its own headers and those of the layers below it, never
one above or beside it: the engine and the rules (game/rules/) are both at the bottom and see
nothing of each other, so the rules run without a window or a device. A header
named *_local.h is for its own folder only.
"""
import os
import re
import sys

LAYERS = ['engine', 'rules', 'game', 'frontend', 'app']
BELOW = {
    'engine': set(),
    'rules': set(),
    'game': {'engine', 'rules'},
    'frontend': {'engine', 'rules', 'game'},
    'app': {'engine', 'rules', 'game', 'frontend'},
}
GENERATED = {'brolix_layout.h': 'game', 'brolix_glyphs.h': 'game', 'scorehost.h': 'game', 'makers.h': 'frontend',
             'brolix_resources.h': 'app'}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def layer_of(path, root):
    parts = os.path.relpath(path, root).split(os.sep)
    if parts[:2] == ['game', 'rules']:
        return 'rules'
    return parts[0] if parts[0] in LAYERS else None


def sources(root):
    for layer in LAYERS:
        if layer == 'rules':
            continue  # walked as part of game/
        for folder, _, names in os.walk(os.path.join(root, layer)):
            for name in sorted(names):
                if name.endswith(('.h', '.cpp', '.in')):
                    yield os.path.join(folder, name)


def header_layers(root):
    """Layer of every header name; a name in two layers is an error of its own."""
    found, clashes = dict(GENERATED), []
    for path in sources(root):
        name = os.path.basename(path).replace('.h.in', '.h')
        if name.endswith('.h'):
            if name in found and found[name] != layer_of(path, root):
                clashes.append('%s is a header of both %s and %s' % (name, found[name], layer_of(path, root)))
            found[name] = layer_of(path, root)
    return found, clashes


def upward_includes(root):
    headers, problems = header_layers(root)
    for path in sources(root):
        own = layer_of(path, root)
        with open(path, encoding='utf-8') as f:
            for number, line in enumerate(f, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = match.group(1)
                relative = os.path.normpath(os.path.join(os.path.dirname(path), target))
                layer = layer_of(relative, root) if '/' in target else headers.get(os.path.basename(target))
                if layer and layer != own and layer not in BELOW[own]:
                    problems.append('%s:%d: %s includes %s, a header of %s, not below it' % (
                        os.path.relpath(path, root), number, own, target, layer))
                elif layer and layer != own and target.endswith('_local.h'):
                    problems.append('%s:%d: %s includes %s, a header private to %s' % (
                        os.path.relpath(path, root), number, own, target, layer))
    return problems


def main():
    problems = upward_includes(sys.argv[1])
    for problem in problems:
        print(problem)
    print('app -> frontend -> game -> engine, rules: %d wrong-way includes' % len(problems))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
