# Benchmark twin of calls.vl: calls of a function with three parameters and
# two locals and of a procedure with two parameters that updates a global.
s = 0


def mix(a, b, c):
    t = a * 3 + b
    u = t ^ c
    return u % 1000 + t // 7


def add(k, v):
    global s
    s = (s + k + v) & 0xFFFFF


def main():
    global s
    size = 2000000
    s = 0
    for i in range(size):
        add(mix(i & 0xFFFF, s % 1000, i % 13), i & 255)
    print(s)


main()
