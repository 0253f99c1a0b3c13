# Calls of small functions and method lookups, as in dispatch.kavo: 1,000,000 steps, each
# running the step method of two objects found by name.
import sys

def id_(x):
    return x

def twice(x):
    return id_(id_(x))

def add(x, y):
    return x + y

class A:
    def step(self, x):
        return add(twice(x), 3)
    def name(self):
        return "a"

class B:
    def step(self, x):
        return add(x, 5)
    def name(self):
        return "b"

a, b = A(), B()
objects = {"a": a, "b": b}

def apply(obj, x):
    return objects[obj].step(x)

def steps(k, acc):
    if k == 0:
        return acc
    return steps(k - 1, apply(b.name(), apply(a.name(), acc)))

def rounds(k, acc):
    if k == 0:
        return acc
    return rounds(k - 1, steps(200, acc))

sys.setrecursionlimit(10000)
print(f"result {rounds(5000, 0)}")
