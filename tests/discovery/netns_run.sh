#!/bin/sh
# Runs one test in network and mount namespaces of its own: lo up with multicast and a route
# for 224.0.0.0/4, and a veth pair, 10.77.0.1/24 on twg0 here and 10.77.0.2/24 on twg1 in a
# second network namespace held by a sleeper whose pid is in TWG_NETNS_PEER_PID. The mount
# namespace gives the avahi-daemon that a test starts its own /run/avahi-daemon and service
# folder. Exits 77 (reported as skipped) where this machine refuses namespaces. Listing the
# tests needs no namespace.
set -eu

if [ "${1:-}" = "--inside" ]; then
  shift
  ip link set lo up
  ip link set lo multicast on
  ip route add 224.0.0.0/4 dev lo
  mkdir -p /run/avahi-daemon /etc/avahi/services
  mount -t tmpfs tmpfs /run/avahi-daemon
  mount -t tmpfs tmpfs /etc/avahi/services
  unshare --net sleep 600 &
  PEER=$!
  trap 'kill $PEER 2>/dev/null || true' EXIT
  tries=0
  while [ "$(readlink /proc/$PEER/ns/net)" = "$(readlink /proc/self/ns/net)" ]; do
    tries=$((tries + 1))
    [ $tries -lt 100 ] || { echo "the peer namespace did not come up" >&2; exit 1; }
    sleep 0.05
  done
  ip link add twg0 type veth peer name twg1
  ip link set twg1 netns "$PEER"
  ip addr add 10.77.0.1/24 dev twg0
  ip link set twg0 up
  nsenter -t "$PEER" -n sh -c 'ip link set lo up && ip addr add 10.77.0.2/24 dev twg1 && ip link set twg1 up'
  export TWG_NETNS_PEER_PID=$PEER
  "$@"
  exit $?
fi

case " $* " in
  *" --gtest_list_tests "*) exec "$@" ;;
esac

if [ "$(id -u)" = 0 ]; then FLAGS="--net --mount"; else FLAGS="--map-root-user --net --mount"; fi
if ! unshare $FLAGS true 2>/dev/null; then
  echo "skipped: this machine refuses network namespaces (unshare $FLAGS)" >&2
  exit 77
fi
exec unshare $FLAGS --propagation private sh "$0" --inside "$@"
