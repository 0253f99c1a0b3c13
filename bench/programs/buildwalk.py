# The text of buildwalk.kavo: the numbers from 170,000 down to 1 appended one at a time,
# then walked byte by byte by index, counting the sevens. s += str(n) would copy the whole
# text at nearly every step here (minutes, not a second), so the pieces go into a list
# joined once: the usual way to grow a text in Python.
def build():
    parts = []
    n = 170000
    while n > 0:
        parts.append(str(n))
        n -= 1
    return "".join(parts)

def walk(s):
    c = 0
    i = 0
    while i < len(s):
        if s[i] == "7":
            c += 1
        i += 1
    return c

t = build()
print(f"buildwalk {len(t)} bytes, {walk(t)} sevens")
