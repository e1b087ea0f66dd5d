#!/usr/bin/env python3
"""Writes the page's text table (an ES module) from the application's one table of texts.

Usage: make_texts.py Translations.cpp texts.js VERSION

Each entry {"key", u"English", u"Russian"} of the table becomes key: ["English", "Russian"].
Where the table has a variant for macOS and one for the other systems, the page takes the other
systems' one. A table that cannot be read fails the build rather than giving the page no texts.
"""
import json
import re
import sys

STRING = r'u?"((?:[^"\\]|\\.)*)"'
ENTRY = re.compile(r'\{\s*"([^"]+)"\s*,\s*((?:' + STRING + r'\s*)+),\s*((?:' + STRING + r'\s*)+)\}')


def unescape(literal):
    return re.sub(r'\\u([0-9a-fA-F]{4})|\\(["\\])',
                  lambda m: chr(int(m.group(1), 16)) if m.group(1) else m.group(2), literal)


def joined(literals):
    return ''.join(unescape(part) for part in re.findall(STRING, literals))


def table_source(text):
    start = text.index('kTable[] = {')
    end = text.index('\n};', start)
    lines = []
    skipping = False
    for line in text[start:end].splitlines():
        stripped = line.strip()
        if stripped.startswith('#if'):
            skipping = True  # the macOS variant comes first
        elif stripped.startswith('#else'):
            skipping = False
        elif stripped.startswith('#endif'):
            skipping = False
        elif not skipping and not stripped.startswith('//'):
            lines.append(line)
    return '\n'.join(lines)


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding='utf-8') as f:
        body = table_source(f.read())
    texts = {}
    for m in ENTRY.finditer(body):
        texts[m.group(1)] = [joined(m.group(2)), joined(m.group(4))]
    if len(texts) != body.count('{"'):
        sys.exit(f'{source}: read {len(texts)} of {body.count(chr(123) + chr(34))} entries')
    with open(target, 'w', encoding='utf-8') as f:
        f.write('// Generated from the application\'s text table; do not edit.\n')
        f.write('export const texts = ')
        json.dump(texts, f, ensure_ascii=False, indent=1, sort_keys=True)
        f.write(';\n')
        f.write(f'export const version = {json.dumps(sys.argv[3])};\n')


if __name__ == '__main__':
    main()
