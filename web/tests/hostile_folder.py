#!/usr/bin/python3
"""Turns the load fuzzer's corpus into game files: one folder per input, holding the input's bytes
under the game name its first byte picks (and as "ending.bin", which sprite archives read), as the
fuzz target hands them to the decoder.

usage: hostile_folder.py CORPUS_DIR OUT_DIR
"""

import os
import sys

# The fuzz target's names, in its order (fuzz/fuzz_load_picture.cpp).
NAMES = ['item01.bin', 'iclog01.bin', 'kabe01.bin', 'eye1.bin', 'bg01.bin', 'ge_cg.bin',
         'omall.dat', 'sa_cg.bin', 'ko_cg.bin', 'sa_spr.bin', 'ge_spr.bin', 'ma_spr.bin']


def main(corpus, out):
    os.makedirs(out, exist_ok=True)
    for input_name in sorted(os.listdir(corpus)):
        with open(os.path.join(corpus, input_name), 'rb') as f:
            data = f.read()
        if len(data) < 2:
            continue
        folder = os.path.join(out, input_name[:16])
        os.makedirs(folder, exist_ok=True)
        for name in (NAMES[data[0] % len(NAMES)], 'ending.bin'):
            with open(os.path.join(folder, name), 'wb') as f:
                f.write(data[2:])


if __name__ == '__main__':
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
