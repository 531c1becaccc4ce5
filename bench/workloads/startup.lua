-- Benchmark twin of startup.vl: start-up time, a program that prints one line.
print("hello")
