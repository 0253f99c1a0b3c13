# 200,000 distinct numbers, each also joined into a distinct text, as in atoms.kavo:
# two nested recursions, 1,000 rows of 200.
import sys

def row(i, j, acc):
    if j == 200:
        return acc
    n = i * 200 + j
    return row(i, j + 1, acc + len("value-" + str(n)))

def rows(i, acc):
    if i == 1000:
        return acc
    return rows(i + 1, row(i, 0, acc))

sys.setrecursionlimit(10000)
print(f"total length {rows(0, 0)}")
