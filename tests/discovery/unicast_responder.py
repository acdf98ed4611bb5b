#!/usr/bin/env python3
"""The tests' own DNS-SD responder, written apart from the code under test.

Unicast (the default modes): answers a PTR question for its service name the way a device does:
one answer naming the instance, then TXT, SRV and A as additional records. Binds only to a
loopback address.

Multicast (--mode multicast): speaks mDNS on --address's interface, which must be one of the
test namespaces' own (it refuses where any interface but lo and --interface exists). It answers
questions for its service (the same one answer with TXT, SRV and A as additional records) and
for its instance's TXT record, and acts on lines read from stdin:
  announce             the service's answer, unasked
  txt KEY=VALUE ...    a new TXT record, announced with the cache-flush bit
  goodbye              the service's answer with TTL 0
Each sent packet prints "sent <what>".

Prints "ready" once bound, and ends after --lifetime seconds or --max-replies replies.
"""
import argparse
import ipaddress
import select
import socket
import struct
import sys
import time

MDNS_GROUP = "224.0.0.251"
MDNS_PORT = 5353
TYPE_A, TYPE_PTR, TYPE_TXT, TYPE_SRV, TYPE_ANY = 1, 12, 16, 33, 255
CACHE_FLUSH_IN = 0x8001
PTR_TTL, TXT_TTL, HOST_TTL = 4500, 4500, 120


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


def read_name(data, at):
    """The name at `at`, following compression pointers (a querier packs several questions
    into one packet, the later ones pointing into the first), and the offset after it."""
    parts = []
    end = None
    for _ in range(64):  # bounds a pointer loop
        if at >= len(data):
            return None, len(data)
        size = data[at]
        if size & 0xC0 == 0xC0:
            if at + 1 >= len(data):
                return None, len(data)
            if end is None:
                end = at + 2
            at = ((size & 0x3F) << 8) | data[at + 1]
            continue
        if size == 0:
            return ".".join(parts), end if end is not None else at + 1
        parts.append(data[at + 1:at + 1 + size].decode(errors="replace"))
        at += 1 + size
    return None, len(data)


def read_questions(data):
    """(name, type) of each question; names lower-cased."""
    (qdcount,) = struct.unpack("!H", data[4:6])
    at = 12
    out = []
    for _ in range(qdcount):
        name, at = read_name(data, at)
        if name is None or at + 4 > len(data):
            return out
        (qtype,) = struct.unpack("!H", data[at:at + 2])
        out.append((name.lower(), qtype))
        at += 4
    return out


def txt_rdata(entries):
    return b"".join(bytes([len(e.encode())]) + e.encode() for e in entries) or b"\x00"


def service_answer(args, ttl):
    """The device's shape, unasked: the PTR answer, then TXT, SRV and A under the instance name."""
    service = labels(args.service_name)
    instance = args.instance.encode()
    answer_rdata = bytes([len(instance)]) + instance + b"\xc0\x0c"
    answer = service + struct.pack("!HHIH", TYPE_PTR, 1, ttl and PTR_TTL, len(answer_rdata)) + answer_rdata
    pointer = struct.pack("!H", 0xC000 | (12 + len(service) + 10))
    txt = txt_rdata(args.txt)
    srv = struct.pack("!HHH", 0, 0, args.srv_port) + labels("box.local")
    a = ipaddress.IPv4Address(args.a_record).packed
    records = [
        pointer + struct.pack("!HHIH", TYPE_TXT, CACHE_FLUSH_IN, ttl and TXT_TTL, len(txt)) + txt,
        pointer + struct.pack("!HHIH", TYPE_SRV, CACHE_FLUSH_IN, ttl and HOST_TTL, len(srv)) + srv,
        pointer + struct.pack("!HHIH", TYPE_A, CACHE_FLUSH_IN, ttl and HOST_TTL, len(a)) + a,
    ]
    return struct.pack("!HHHHHH", 0, 0x8400, 0, 1, 0, len(records)) + answer + b"".join(records)


def txt_answer(args):
    txt = txt_rdata(args.txt)
    record = labels(args.instance + "." + args.service_name) + \
        struct.pack("!HHIH", TYPE_TXT, CACHE_FLUSH_IN, TXT_TTL, len(txt)) + txt
    return struct.pack("!HHHHHH", 0, 0x8400, 0, 1, 0, 0) + record


def multicast(args):
    interfaces = {name for _, name in socket.if_nameindex()}
    if not interfaces <= {"lo", args.interface}:
        sys.exit("multicast only inside the test namespaces; interfaces here: " + ", ".join(sorted(interfaces)))
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("", MDNS_PORT))
    own = socket.inet_aton(args.address)
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, socket.inet_aton(MDNS_GROUP) + own)
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, own)
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_TTL, 255)
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_LOOP, 0)
    print("ready", flush=True)

    service = args.service_name.lower()
    instance = (args.instance + "." + args.service_name).lower()
    deadline = time.monotonic() + args.lifetime
    sent = 0

    def send(data, what):
        nonlocal sent
        sock.sendto(data, (MDNS_GROUP, MDNS_PORT))
        sent += 1
        print("sent " + what, flush=True)

    while sent < args.max_replies:
        left = deadline - time.monotonic()
        if left <= 0:
            break
        ready, _, _ = select.select([sock, sys.stdin], [], [], left)
        if sys.stdin in ready:
            line = sys.stdin.readline()
            if not line:
                break  # the test is gone
            words = line.split() or [""]
            if words[0] == "announce":
                send(service_answer(args, True), "announce")
            elif words[0] == "txt":
                args.txt = words[1:]
                send(txt_answer(args), "txt")
            elif words[0] == "goodbye":
                send(service_answer(args, False), "goodbye")
        if sock in ready:
            data, peer = sock.recvfrom(9000)
            if len(data) < 12 or data[2] & 0x80:
                continue
            for name, qtype in read_questions(data):
                print("query %s %d" % (name, qtype), flush=True)
                if name == service and qtype in (TYPE_PTR, TYPE_ANY):
                    send(service_answer(args, True), "answer " + name)
                elif name == instance and qtype in (TYPE_TXT, TYPE_ANY):
                    send(txt_answer(args), "answer " + name)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", default="127.0.0.2")
    parser.add_argument("--port", type=int, default=5353)
    parser.add_argument("--service", action="append", default=[],
                        help="answer only these names (default: any)")
    parser.add_argument("--mode", choices=["device", "wrong-id", "silent", "multicast"], default="device")
    parser.add_argument("--service-name", default="_tarnwright._tcp.local",
                        help="multicast: the service it announces")
    parser.add_argument("--interface", default="twg1", help="multicast: the namespace's own interface")
    parser.add_argument("--instance", default="Box 1")
    parser.add_argument("--txt", action="append", default=[])
    parser.add_argument("--srv-port", type=int, default=9000)
    parser.add_argument("--a-record", default="10.1.2.3")
    parser.add_argument("--lifetime", type=float, default=60.0)
    parser.add_argument("--max-replies", type=int, default=100)
    args = parser.parse_args()
    if args.mode == "multicast":
        multicast(args)
        return
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
