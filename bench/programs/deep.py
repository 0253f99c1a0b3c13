# A recursion 1,000,000 levels deep, as in deep.kavo. Python's default limit is 1000
# levels and the main thread's stack is small, so the recursion runs in a thread of its
# own with a large stack and a raised limit.
import sys
import threading

def down(n):
    if n == 0:
        return 0
    return down(n - 1) + 1

def run():
    print(f"depth {down(1000000)}")

sys.setrecursionlimit(1000100)
threading.stack_size(1 << 30)
t = threading.Thread(target=run)
t.start()
t.join()
