# Benchmark twin of recurse3.vl: recursion with two and three parameters: the
# Takeuchi function (its arguments are calls again), binomial coefficients by
# Pascal's rule and a procedure that moves the towers of Hanoi.
moves = 0
h = 0


def tak(x, y, z):
    if y < x:
        return tak(tak(x - 1, y, z), tak(y - 1, z, x), tak(z - 1, x, y))
    return z


def binom(n, k):
    if k == 0 or k == n:
        return 1
    return binom(n - 1, k - 1) + binom(n - 1, k)


def hanoi(n, source, target):
    global moves, h
    if n > 0:
        via = 6 - source - target
        hanoi(n - 1, source, via)
        moves += 1
        h = (h * 7 + source * 3 + target) & 0xFFFFFF
        hanoi(n - 1, via, target)


def main():
    size = 800
    total = 0
    for i in range(size):
        total = total + tak(8, 4, i % 3) + binom(12, i % 6 + 3)
        hanoi(i % 4 + 7, 1, 3)
    print(total, moves, h)


main()
