# Benchmark twin of nested.vl: calls nested as the arguments of calls, of
# functions with one, two and three parameters, six calls a pass.
def twice(a):
    return a + a


def square(a):
    return a * a & 0xFFFF


def mix(a, b):
    return a * 31 ^ b


def pick(a, b, c):
    if a > b:
        return a - b + c
    return b - a + c


def main():
    size = 500000
    acc = 1
    for i in range(size):
        acc = pick(mix(i, square(acc)), twice(i % 100), mix(acc, twice(i))) & 0xFFFFF
    print(acc)


main()
