#!/usr/bin/python3
"""Times scikit-image's marching cubes on a field sampled by the Quorvels benchmark.

usage: skimage_marching_cubes.py FIELD.raw N REPEATS
FIELD.raw holds (N + 1)^3 little-endian float32 values, index (i (N + 1) + j)(N + 1) + k, inside
where the value is at least 0. Prints the median seconds of REPEATS runs of marching_cubes at
level 0, then the vertex and triangle counts of the last run, on one line.
"""
import statistics
import sys
import time

import numpy
from skimage import measure


def main() -> int:
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    path, n, repeats = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    side = n + 1
    volume = numpy.fromfile(path, dtype="<f4")
    if volume.size != side ** 3:
        print(f"{path}: {volume.size} values, not {side ** 3}", file=sys.stderr)
        return 1
    volume = volume.reshape((side, side, side))
    measure.marching_cubes(volume, level=0.0)  # warm-up
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        vertices, faces, _, _ = measure.marching_cubes(volume, level=0.0)
        times.append(time.perf_counter() - start)
    print(f"{statistics.median(times):.9f} {len(vertices)} {len(faces)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
