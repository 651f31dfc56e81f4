#!/usr/bin/env python3
"""A controller written apart from the benchmarks, to check BM_DaemonPing/1 against: it sends the
PER bytes of { seq s, pdu command : ping : NULL } in a TPKT frame, one at a time, reads the frames
that come back until the answer { seq s, pdu response : success : NULL } arrives (passing over the
trunk status signals) and prints the median, mean and 99th percentile of the round trips.

    python3 bench/ping_client.py [--port P] [--count N] [--spin]

--spin keeps the cores awake as TOVRASEL_BENCH_SPIN=1 does for the benchmarks: one process per
core spinning at nice 19.
"""
import argparse
import os
import signal
import socket
import statistics
import struct
import time


def ping(seq):
    return struct.pack(">BBHBBBB", 3, 0, 8, 0x80, 1, seq, 0x18)


def answer(seq):
    return struct.pack(">BBHBBBB", 3, 0, 8, 0x80, 1, seq, 0x40)


class Frames:
    def __init__(self, connection):
        self.connection = connection
        self.received = b""

    def next(self):
        while True:
            if len(self.received) >= 4:
                length = struct.unpack(">H", self.received[2:4])[0]
                if self.received[0] != 3 or length < 4:
                    raise RuntimeError("not a TPKT frame")
                if len(self.received) >= length:
                    frame, self.received = self.received[:length], self.received[length:]
                    return frame
            data = self.connection.recv(65536)
            if not data:
                raise RuntimeError("connection closed by the gateway")
            self.received += data


def spinners():
    children = []
    for _ in range(os.cpu_count()):
        child = os.fork()
        if child == 0:
            os.nice(19)
            while True:
                pass
        children.append(child)
    return children


def main():
    options = argparse.ArgumentParser()
    options.add_argument("--port", type=int, default=20001)
    options.add_argument("--count", type=int, default=20000)
    options.add_argument("--spin", action="store_true")
    arguments = options.parse_args()

    children = spinners() if arguments.spin else []
    try:
        connection = socket.create_connection(("127.0.0.1", arguments.port))
        connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        frames = Frames(connection)
        round_trips = []
        for i in range(arguments.count):
            seq = i % 128
            start = time.perf_counter_ns()
            connection.sendall(ping(seq))
            while frames.next() != answer(seq):
                pass
            round_trips.append((time.perf_counter_ns() - start) / 1000)
        round_trips.sort()
        print("pings %d median_us %.1f mean_us %.1f p99_us %.1f" % (
            len(round_trips), statistics.median(round_trips), statistics.mean(round_trips),
            round_trips[len(round_trips) * 99 // 100]))
    finally:
        for child in children:
            os.kill(child, signal.SIGKILL)
            os.waitpid(child, 0)


if __name__ == "__main__":
    main()
