#!/usr/bin/env python3
"""Writes the waiting animation's frames (an ES module) from the application's frame records.

Usage: make_frames.py wait_girl_frames.cpp frames.js

Each array wait_girl_frame_N of run-length records becomes the N-th string of `frames`, its bytes
in base64, for the page's decoder.
"""
import base64
import re
import sys


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding='utf-8') as f:
        text = f.read()
    arrays = re.findall(r'wait_girl_frame_(\d+)\[\] = \{([^}]*)\}', text)
    if not arrays:
        sys.exit(f'{source}: no frames found')
    frames = []
    for index, body in arrays:
        assert int(index) == len(frames), 'frames out of order'
        values = bytes(int(v, 16) for v in re.findall(r'0x[0-9a-fA-F]{2}', body))
        frames.append(base64.b64encode(values).decode('ascii'))
    with open(target, 'w', encoding='utf-8') as f:
        f.write('// Generated from the application\'s animation frames; do not edit.\n')
        f.write('export const frames = [\n')
        for frame in frames:
            f.write(f'  "{frame}",\n')
        f.write('];\n')


if __name__ == '__main__':
    main()
