#!/usr/bin/env python3
"""Builds app/widgets/wait_girl_frames.cpp, the six frames of the waiting animation, from the pixel art
kept in this file.

The art is a set of ASCII sprites ('#' dark ink, '.' light paper, ' ' leaves what is below) and a
list of the sprites each frame is made of. Every frame is 106 x 76 pixels in two levels (0 ink,
15 paper) and is stored as a run-length record:

  width and height as unsigned 16-bit little-endian, then runs, row after row from the top, that
  continue across row ends: a byte b < 0x80 is (b >> 4) + 1 pixels of level b & 0x0F; a byte
  b >= 0x80 is b & 0x7F pixels of the level in the low four bits of the next byte.

Usage:
  scripts/make_wait_girl_frames.py                 rewrite app/widgets/wait_girl_frames.cpp
  scripts/make_wait_girl_frames.py --preview DIR   also write frame_N.png (scaled x4) to DIR
"""

import argparse
import pathlib
import struct
import sys
import zlib

WIDTH, HEIGHT = 106, 76
INK, PAPER = 0, 15

# The door she waits beside, drawn in dotted lines with a solid knob.
DOOR = """
#.#.#.#.#.#.#.#.#.#.#.#.
.......................#
#.......................
.......................#
#...#.#.#.#.#.#.#.#.#...
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.#.#.#.#.#.#.#.....
.......................#
#.......................
.......................#
#.................##....
..................##...#
#.......................
.......................#
#.......................
.......................#
#...#.#.#.#.#.#.#.#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.............#.....
.......................#
#...#.#.#.#.#.#.#.#.....
.......................#
#.......................
.......................#
#.......................
.......................#
"""

FLOOR = "\n" + "#" * WIDTH + "\n"

# The girl with a bow and crossed arms; her right foot (on the right of the picture) is a separate
# sprite so that it can tap.
GIRL = """
.........##.....##........
.........#.##.##.#........
.........#..###..#........
.........#.##.##.#........
.........##.....##........
........###########.......
......###############.....
.....#################....
.....#################....
....###################...
....###################...
....####.##.###.##.####...
....###.............###...
....###.............###...
....###...#.....#...###...
....###...#.....#...###...
....###.............###...
....###.....###.....###...
....###.............###...
....####...........####...
....####.##.....##.####...
....####...#####...####...
....####....#.#....####...
...##########.##########..
..######################..
..#.##################.#..
..#.##################.#..
..#.##################.#..
..#........#...........#..
..#.........#..........#..
..#..........#.........#..
..######################..
....##################....
....##################....
....#................#....
....##################....
...####################...
...####################...
..######################..
..######################..
.########################.
.########################.
.#......................#.
.########################.
........#.#....
........#.#....
........#.#....
........#.#....
........#.#....
........#.#....
........#.#....
........#.#....
........#.#....
........#.#....
........#.#....
......#####....
......#####....
"""

FOOT_DOWN = """
.#.#...
.#.#...
.#.#...
.#.#...
.#.#...
.#.#...
.#.#...
.#.#...
.#.#...
.#.#...
.#.#...
.#####.
.#####.
"""

FOOT_UP = """
.#.#...
.#.#...
.#.#...
.#.#...
.#.#...
.#.#...
.#.#...
.#.#...
.#.#...
.#####.
.#####.
.......
.......
"""

# The speech bubble as it appears: a small one first, then the full one, both with a tail that
# points at her.
BUBBLE_SMALL = """


















       ##########
      #..........#
     #............#
     #............#
     #............#
     #............#
     #............#
     #...........#
     #...########
    #..##
   #.##
  ###
 #
"""

BUBBLE = """
        ########################################
       #........................................#
      #..........................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #............................................#
     #...........................................#
     #..........................................#
     #...#######################################
    #..##
   #.##
  ###
 #
"""

# Letters of the request, 7 pixels high.
GLYPHS = {
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"],
    "I": ["###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "\u2026": [".....", ".....", ".....", ".....", ".....", ".....", "#.#.#"],
}

DOOR_AT = (3, 8)
FLOOR_AT = (0, 72)
GIRL_AT = (31, 15)
FOOT_AT = (GIRL_AT[0] + 14, GIRL_AT[1] + 44)
BUBBLE_AT = (54, 2)
FIRST_LINE = ("PLEASE", 64, 7)
SECOND_LINE = ("WAIT\u2026", 68, 17)

SCENE = [(DOOR, DOOR_AT), (FLOOR, FLOOR_AT), (GIRL, GIRL_AT)]

# Frame index -> what is drawn on top of the scene; the foot is down in even frames.
FRAMES = [
    ("idle, no bubble", [(FOOT_DOWN, FOOT_AT)], []),
    ("a small bubble appears", [(FOOT_UP, FOOT_AT), (BUBBLE_SMALL, BUBBLE_AT)], []),
    ("the empty bubble", [(FOOT_DOWN, FOOT_AT), (BUBBLE, BUBBLE_AT)], []),
    ("the first word", [(FOOT_UP, FOOT_AT), (BUBBLE, BUBBLE_AT)], [FIRST_LINE]),
    ("the whole request; the still picture", [(FOOT_DOWN, FOOT_AT), (BUBBLE, BUBBLE_AT)],
     [FIRST_LINE, SECOND_LINE]),
    ("the whole request, foot raised", [(FOOT_UP, FOOT_AT), (BUBBLE, BUBBLE_AT)],
     [FIRST_LINE, SECOND_LINE]),
]


def sprite_rows(art):
    # Only the line breaks after the opening and before the closing quotes are dropped, so that
    # empty leading rows keep their place.
    rows = art.split("\n")[1:-1]
    for row in rows:
        bad = set(row) - set("#. ")
        if bad:
            sys.exit(f"unexpected characters {sorted(bad)} in sprite row {row!r}")
    return rows


def stamp(picture, rows, at):
    left, top = at
    for dy, row in enumerate(rows):
        for dx, cell in enumerate(row):
            if cell == " ":
                continue
            x, y = left + dx, top + dy
            if not (0 <= x < WIDTH and 0 <= y < HEIGHT):
                sys.exit(f"sprite pixel ({x}, {y}) lies outside the {WIDTH} x {HEIGHT} picture")
            picture[y][x] = INK if cell == "#" else PAPER


def text_rows(text):
    glyphs = [GLYPHS[ch] for ch in text]
    return [".".join(glyph[row] for glyph in glyphs) for row in range(7)]


def compose(overlays, lines):
    picture = [[PAPER] * WIDTH for _ in range(HEIGHT)]
    for art, at in SCENE + overlays:
        stamp(picture, sprite_rows(art), at)
    for text, x, y in lines:
        stamp(picture, text_rows(text), (x, y))
    return picture


def encode(picture):
    pixels = [level for row in picture for level in row]
    record = bytearray(struct.pack("<HH", WIDTH, HEIGHT))
    i = 0
    while i < len(pixels):
        level = pixels[i]
        length = 1
        while i + length < len(pixels) and pixels[i + length] == level and length < 127:
            length += 1
        if length <= 8:
            record.append(((length - 1) << 4) | level)
        else:
            record += bytes((0x80 | length, level))
        i += length
    return bytes(record)


def cpp_source(records):
    out = [
        "// Generated by scripts/make_wait_girl_frames.py from its pixel art; edit the art there and",
        "// run the script again instead of editing this file.",
        "",
        '#include "wait_girl_frames.h"',
        "",
    ]
    for index, ((role, _, _), record) in enumerate(zip(FRAMES, records)):
        out.append(f"// Frame {index}: {role}.")
        out.append(f"const std::uint8_t wait_girl_frame_{index}[] = {{")
        for start in range(0, len(record), 12):
            chunk = record[start:start + 12]
            out.append("    " + ", ".join(f"0x{b:02x}" for b in chunk) + ",")
        out.append("};")
        out.append("")
    out.append("const std::uint8_t* const wait_girl_frames[wait_girl_frame_count] = {")
    out.append("    wait_girl_frame_0, wait_girl_frame_1, wait_girl_frame_2,")
    out.append("    wait_girl_frame_3, wait_girl_frame_4, wait_girl_frame_5};")
    return "\n".join(out) + "\n"


def write_png(path, picture, scale):
    grey = {INK: b"\x12\x21\x38", PAPER: b"\xd4\xe6\xed"}
    raw = bytearray()
    for row in picture:
        line = b"".join(grey[level] * scale for level in row)
        for _ in range(scale):
            raw += b"\x00" + line

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", WIDTH * scale, HEIGHT * scale, 8, 2, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
    png += chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b"")
    pathlib.Path(path).write_bytes(png)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    root = pathlib.Path(__file__).resolve().parent.parent
    parser.add_argument("--output", default=root / "app" / "widgets" / "wait_girl_frames.cpp")
    parser.add_argument("--preview", metavar="DIR", help="also write frame_N.png scaled x4 here")
    args = parser.parse_args()

    pictures = [compose(overlays, lines) for _, overlays, lines in FRAMES]
    pathlib.Path(args.output).write_text(cpp_source([encode(p) for p in pictures]))
    if args.preview:
        pathlib.Path(args.preview).mkdir(parents=True, exist_ok=True)
        for index, picture in enumerate(pictures):
            write_png(pathlib.Path(args.preview) / f"frame_{index}.png", picture, 4)


if __name__ == "__main__":
    main()
