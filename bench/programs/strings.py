# String processing over a text of 789 characters, as in strings.kavo: 100,000 rotations
# by one character with slices, each reversed and matched against two patterns.
import sys
from fnmatch import fnmatchcase

a = 0
b = 0

def build(i, text):
    if i == 300:
        return text
    return build(i + 1, text + str(i))

def rotate(t):
    return t[-1:] + t[:len(t) - 1]

def spin(k, t):
    global a, b
    if k == 0:
        return t
    r = rotate(t)
    if fnmatchcase(r, "1*2?"):
        a += 1
    if fnmatchcase(r[::-1], "*3?1"):
        b += 1
    return spin(k - 1, r)

def rounds(k, t):
    if k == 0:
        return t
    return rounds(k - 1, spin(200, t))

sys.setrecursionlimit(10000)
t = rounds(500, build(1, ""))
print(f"matches {a} {b}, text now begins {t[:12]}")
