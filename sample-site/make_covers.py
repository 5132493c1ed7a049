#!/usr/bin/env python3
"""Makes the sample site's covers: one small JPEG per film that has a cover.

Each cover is a 95 x 140 picture of our own (a coloured field with bands and a frame),
written as a PPM and compressed with cjpeg (libjpeg-turbo-progs). The .jpg files are
committed, so the build never needs cjpeg; run this again only to change the pictures.

    sample-site/make_covers.py
"""
import pathlib
import subprocess

WIDTH, HEIGHT = 95, 140
HERE = pathlib.Path(__file__).resolve().parent
PAGES = HERE / "pages"

# Films without a cover: their page has no poster line.
NO_COVER = {"tt9000007"}


def film_ids():
    for line in (PAGES / "films.txt").read_bytes().decode("latin-1").splitlines():
        if line and not line.startswith("#"):
            yield line.split("|")[0]


def picture(seed):
    base = ((seed * 67) % 200 + 30, (seed * 131) % 200 + 30, (seed * 29) % 200 + 30)
    rows = []
    for y in range(HEIGHT):
        row = bytearray()
        for x in range(WIDTH):
            if x < 4 or y < 4 or x >= WIDTH - 4 or y >= HEIGHT - 4:
                pixel = (240, 235, 220)
            elif (y // (6 + seed % 5)) % 3 == 0:
                pixel = tuple(min(255, c + 50) for c in base)
            else:
                shade = (x + y * (seed % 3 + 1)) % 40
                pixel = tuple(max(0, c - shade) for c in base)
            row += bytes(pixel)
        rows.append(bytes(row))
    return b"P6\n%d %d\n255\n" % (WIDTH, HEIGHT) + b"".join(rows)


def main():
    (PAGES / "covers").mkdir(exist_ok=True)
    for number, film in enumerate(film_ids(), start=1):
        if film in NO_COVER:
            continue
        jpeg = subprocess.run(["cjpeg", "-quality", "80", "-optimize"], input=picture(number),
                              stdout=subprocess.PIPE, check=True).stdout
        (PAGES / "covers" / f"{film}.jpg").write_bytes(jpeg)
        print(f"covers/{film}.jpg: {len(jpeg)} bytes")


if __name__ == "__main__":
    main()
