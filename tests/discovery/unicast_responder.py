#!/usr/bin/env python3
"""The tests' own DNS-SD unicast responder, written apart from the code under test.

Answers a PTR question for its service name the way a device does: one answer naming the
instance, then TXT, SRV and A as additional records. Binds only to a loopback address, prints
"ready" once bound, and ends after --lifetime seconds or --max-replies replies.
"""
import argparse
import ipaddress
import socket
import struct
import sys
import time


def labels(name):
    out = b""
    for part in name.split("."):
        raw = part.encode()
        out += bytes([len(raw)]) + raw
    return out + b"\x00"


def read_question(data):
    at = 12
    parts = []
    while at < len(data) and data[at] != 0:
        size = data[at]
        parts.append(data[at + 1:at + 1 + size].decode(errors="replace"))
        at += 1 + size
    return ".".join(parts), at + 1 + 4


def reply(query, args):
    (qid,) = struct.unpack("!H", query[:2])
    if args.mode == "wrong-id":
        qid ^= 0x5A5A
    name, end = read_question(query)
    question = query[12:end]
    instance = args.instance.encode()
    # Answer: pointer to the question's name, PTR, rdata = instance label + pointer to the name.
    answer_rdata = bytes([len(instance)]) + instance + b"\xc0\x0c"
    answer = b"\xc0\x0c" + struct.pack("!HHIH", 12, 1, 4500, len(answer_rdata)) + answer_rdata
    instance_offset = 12 + len(question) + 12  # where the answer's rdata starts
    pointer = struct.pack("!H", 0xC000 | instance_offset)
    txt = b"".join(bytes([len(e.encode())]) + e.encode() for e in args.txt)
    srv = struct.pack("!HHH", 0, 0, args.srv_port) + labels("box.local")
    a = ipaddress.IPv4Address(args.a_record).packed
    records = [
        pointer + struct.pack("!HHIH", 16, 0x8001, 4500, len(txt)) + txt,
        pointer + struct.pack("!HHIH", 33, 0x8001, 120, len(srv)) + srv,
        pointer + struct.pack("!HHIH", 1, 0x8001, 120, len(a)) + a,
    ]
    header = struct.pack("!HHHHHH", qid, 0x8400, 1, 1, 0, len(records))
    return name, header + question + answer + b"".join(records)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", default="127.0.0.2")
    parser.add_argument("--port", type=int, default=5353)
    parser.add_argument("--service", action="append", default=[],
                        help="answer only these names (default: any)")
    parser.add_argument("--mode", choices=["device", "wrong-id", "silent"], default="device")
    parser.add_argument("--instance", default="Box 1")
    parser.add_argument("--txt", action="append", default=[])
    parser.add_argument("--srv-port", type=int, default=9000)
    parser.add_argument("--a-record", default="10.1.2.3")
    parser.add_argument("--lifetime", type=float, default=60.0)
    parser.add_argument("--max-replies", type=int, default=100)
    args = parser.parse_args()
    if not ipaddress.IPv4Address(args.address).is_loopback:
        sys.exit("loopback addresses only")

    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind((args.address, args.port))
    print("ready", flush=True)
    deadline = time.monotonic() + args.lifetime
    replies = 0
    while replies < args.max_replies:
        left = deadline - time.monotonic()
        if left <= 0:
            break
        sock.settimeout(left)
        try:
            query, peer = sock.recvfrom(1500)
        except socket.timeout:
            break
        if len(query) < 12 or not ipaddress.IPv4Address(peer[0]).is_loopback:
            continue
        name, data = reply(query, args)
        print("query " + name, flush=True)
        if args.mode == "silent" or (args.service and name not in args.service):
            continue
        sock.sendto(data, peer)
        replies += 1


if __name__ == "__main__":
    main()
