# The counting loop of loop.kavo, 1,000,000 steps, as a plain while loop (in a function,
# where Python keeps its variables in fast local slots).
def count():
    hi = 0
    lo = 0
    while True:
        if lo == 999:
            if hi == 999:
                return hi * 1000 + lo + 1
            hi += 1
            lo = 0
        else:
            lo += 1

print(f"loop {count()}")
