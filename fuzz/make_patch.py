#!/usr/bin/env python3
"""make_patch.py SEED.mdb DAMAGED.mdb [comment] - prints a regression patch (for
fuzz/regressions/*.txt) that turns the seed into the damaged file: the seed's name, a
truncation when the damaged file is shorter, and the changed bytes."""
import os
import sys

seed_path, bad_path = sys.argv[1], sys.argv[2]
seed = open(seed_path, 'rb').read()
bad = open(bad_path, 'rb').read()
if len(bad) > len(seed):
    sys.exit('the damaged file is longer than the seed; keep it as a binary regression instead')
print('# ' + (sys.argv[3] if len(sys.argv) > 3 else os.path.basename(bad_path)))
print('seed ' + os.path.splitext(os.path.basename(seed_path))[0])
if len(bad) < len(seed):
    print('truncate %d' % len(bad))
for i, (a, b) in enumerate(zip(seed, bad)):
    if a != b:
        print('set %d 0x%02x' % (i, b))
