#!/bin/bash
# Pictures of the program with the scripted plug-in: the gallery with no device, one, three
# (with two cross-menu options) and a device with an update, a device's card, the update dialog
# (and its progress), the card of a device unplugged during its update, the about box, the build
# details, and the demonstration tab when it is built in; with the plug-in's network family, the
# add-by-IP dialog as it opens, checking an address, finding nothing there, and the gallery with
# the device the tests' responder (on a loopback address) answered for. Then the converters plug-in on the
# simulated converters of tools/sim/converters.json, driven by the shot-driver test plug-in: the
# gallery (also with a converter without power, and once it has power), each tab of a converter's
# settings page, the connection-lost dialog, the page back on its tab after a replug, and the
# build details with the converters' report, and, from the simulation-only tree, an out-of-date
# converter's update prompt and its completed update; the same for the Zanthic converters of
# that scenario (gallery, "Connecting...", connection lost, build details, the Setup and LUTs
# tabs, a LUT upload, the factory-reset question, update). Each run is
# a separate, isolated program that grabs its window, saves a PNG and quits by itself.
#
#   take_screenshots.sh [BUILD_DIR]     (default: the build folder beside this checkout)
# PNGs go to BUILD_DIR/screenshots/. Exits 1 when a picture could not be taken, 77 when the
# add-by-IP pictures were left out for want of a network namespace.
set -u

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-${TWG_BUILD_DIR:-$here/../../build}}
build=$(cd "$build" && pwd) || { echo "no build folder: $build" >&2; exit 2; }
program=$build/bin/vantorel
plugins=$build/test-plugins/scripted
driver=$build/test-plugins/shot-driver
scenario=$here/../../tools/sim/converters.json
# The program of bin/ carries no simulator: the converter runs put the simulation-only platform
# library under it (and under the simulation-only tree's program, which has it already).
sim_platform=$build/sim/bin
out=$build/screenshots
per_run_timeout=${TWG_SCREENSHOT_TIMEOUT:-40}

# The network family's runs start the program's DNS-SD engine, which speaks on every interface:
# all runs go into a network namespace of their own with only loopback. Where namespaces are
# refused, those runs are left out and the script ends with 77 (skipped) after the others.
netns=yes
if [ -z "${TWG_SHOTS_NETNS:-}" ]; then
    if [ "$(id -u)" = 0 ]; then ns_flags="--net"; else ns_flags="--map-root-user --net"; fi
    if unshare $ns_flags true 2>/dev/null; then
        TWG_SHOTS_NETNS=inside exec unshare $ns_flags bash "$0" "$build"
    fi
    netns=no
    echo "this machine refuses network namespaces (unshare $ns_flags): no add-by-IP pictures" >&2
else
    ip link set lo up || { echo "loopback did not come up in the namespace" >&2; exit 2; }
fi

[ -x "$program" ] || { echo "missing $program" >&2; exit 2; }
ls "$plugins"/*.so >/dev/null 2>&1 || { echo "missing the scripted plug-in in $plugins" >&2; exit 2; }
ls "$driver"/*.so >/dev/null 2>&1 || { echo "missing the shot-driver plug-in in $driver" >&2; exit 2; }
[ -f "$scenario" ] || { echo "missing the scenario $scenario" >&2; exit 2; }
[ -f "$sim_platform/libtwgplatform.so" ] || { echo "missing the simulation-only platform library in $sim_platform" >&2; exit 2; }
mkdir -p "$out"

scratch=$(mktemp -d)
responder_pids=()
# The responders end by themselves too, after their lifetime.
trap 'stop_responders; rm -rf "$scratch"' EXIT

# isolated NAME VAR=VALUE...: one program run with these variables; its outcome goes to
# $scratch/NAME/result. A home, configuration and temporary folder of its own: no saved
# geometry and no other instance (the single-instance key lives in the temporary folder) can
# change the picture.
isolated() {
    local name=$1
    shift
    local root=$scratch/$name
    mkdir -p "$root/home" "$root/config" "$root/tmp" "$root/runtime"
    chmod 700 "$root/runtime"
    rm -f "$out/$name.png"
    env -i PATH="$PATH" ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" \
        TSAN_OPTIONS="${TSAN_OPTIONS:-}" G_SLICE="${G_SLICE:-}" \
        HOME="$root/home" XDG_CONFIG_HOME="$root/config" TMPDIR="$root/tmp" XDG_RUNTIME_DIR="$root/runtime" \
        LC_ALL=C QT_QPA_PLATFORM=offscreen "$@" \
        timeout "$per_run_timeout" "$program" >"$root/log" 2>&1
    echo $? >"$root/result"
}

# shot NAME DEVICES WHAT [CROSS_MENU]: a run with the scripted plug-in.
shot() {
    local name=$1 devices=$2 what=$3 cross_menu=${4:-}
    isolated "$name" \
        TWG_ADMIN_PLUGIN_PATH="$plugins" TWG_SCRIPTED_DEVICES="$devices" TWG_SCRIPTED_CROSS_MENU="$cross_menu" \
        TWG_SCRIPTED_SHOT="$what" TWG_SCRIPTED_SHOT_PATH="$out/$name.png"
}

# converter_shot NAME SHOT DEVICE [PRODUCT] [TAB]: a run with the converters plug-in on the
# simulated bus; DEVICE is the name the gallery shows.
converter_shot() {
    local name=$1 what=$2 device=$3 product=${4:-} tab=${5:-0}
    isolated "$name" \
        LD_LIBRARY_PATH="$sim_platform" TWG_USB_SIM="$scenario" TWG_ADMIN_PLUGIN_PATH="$driver" \
        TWG_SHOT="$what" TWG_SHOT_DEVICE="$device" TWG_SHOT_PRODUCT="$product" TWG_SHOT_TAB="$tab" \
        TWG_SHOT_PATH="$out/$name.png"
}

# net_shot NAME WHAT ADDRESS: a run with the scripted plug-in's network family and no USB device;
# the add-by-IP dialog is given ADDRESS (loopback only: these runs send no other traffic).
net_shot() {
    local name=$1 what=$2 address=$3
    isolated "$name" \
        TWG_ADMIN_PLUGIN_PATH="$plugins" TWG_SCRIPTED_DEVICES=none TWG_SCRIPTED_SERVICE_TYPE=_scripted._tcp \
        TWG_SCRIPTED_ADD_ADDRESS="$address" TWG_SCRIPTED_SHOT="$what" TWG_SCRIPTED_SHOT_PATH="$out/$name.png"
}

# responder NAME ARGS...: the tests' DNS-SD responder on a loopback address, for as long as the
# pictures take at most; waits until it listens.
responder() {
    local name=$1
    shift
    python3 "$here/../discovery/unicast_responder.py" --lifetime "$per_run_timeout" --max-replies 8 "$@" \
        >"$scratch/$name.responder" 2>&1 &
    responder_pids+=($!)
    for _ in $(seq 50); do
        grep -q '^ready$' "$scratch/$name.responder" && return 0
        sleep 0.1
    done
    echo "the responder $name did not start:" >&2
    cat "$scratch/$name.responder" >&2
    exit 2
}
stop_responders() {
    for pid in "${responder_pids[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    responder_pids=()
}
command -v python3 >/dev/null || { echo "missing python3 (tools/install-deps.sh installs it)" >&2; exit 2; }
# Nothing answers on .25; the device answers only for the family's type on .26.
responder silent --address 127.0.0.25 --mode silent
responder device --address 127.0.0.26 --service _scripted._tcp.local --instance "Studio Box" --txt model=S1

names=()
# The runs share nothing, so they run side by side.
shot_pids=()
run() { names+=("$1"); shot "$@" & shot_pids+=($!); }
run gallery-none none gallery
run gallery-one one gallery
run gallery-three three gallery "Identify devices;Refresh"
run gallery-update update gallery
run card one card
run update-dialog update update-dialog
run update-progress update update-progress
run unplugged update unplugged
run about one about
run build-details one build-details
if [ -f "$here/../plugins/scripted/demo/DemoSettingsTab.h" ]; then
    run demo-tab one demo-tab
fi
nrun() { names+=("$1"); net_shot "$@" & shot_pids+=($!); }
if [ "$netns" = yes ]; then
    nrun add-by-ip add-by-ip 127.0.0.24
    nrun add-by-ip-checking add-by-ip-checking 127.0.0.24
    nrun add-by-ip-not-found add-by-ip-not-found 127.0.0.25
    nrun add-by-ip-added add-by-ip-added 127.0.0.26
fi
wait "${shot_pids[@]}"
stop_responders

# The converters, a few at a time: each run starts every simulated converter.
crun() { names+=("$1"); converter_shot "$@" & }
crun converters-gallery gallery "Converter Model 09"
crun converters-gallery-unpowered gallery "No power connected"
crun converters-gallery-powered power "No power connected" 0xBD18
crun converters-video tab "Converter Model 01" "" 0
crun converters-video-lut tab "Converter Model 35" "" 0
wait
crun converters-audio tab "Converter Model 09" "" 1
crun converters-about tab "Converter Model 09" "" 2
crun converters-tally tab "Converter Model 18" "" 0
crun converters-dvi-extender tab "DVI Extender" "" 1
wait
crun converters-connection-lost lost "Converter Model 09" 0xBD2E 1
crun converters-replugged replug "Converter Model 09" 0xBD2E 1
crun converters-build-details build-details "" "" 0
wait
# The Zanthic converters of the same scenario: the gallery, a card as it first shows, the
# connection-lost dialog over the (tab-less) settings page, and the build details' Zanthic tab.
crun zanthic-gallery gallery "Studio A"
crun zanthic-connecting connecting "Studio A"
crun zanthic-connection-lost lost "Studio A" 0xBE89 -1
crun zanthic-build-details build-details "" "" 1
wait
# Their settings: the Setup tab of each line (0xBE89 with camera control, 0xBE70, the XMEGA
# 0xBE90 with no name of its own), the LUTs tab, an upload into 0xBE89 part-way (the scenario
# makes its LUT upload slow) and the factory-reset question.
crun zanthic-setup-be89 tab "Studio A" "" 0
crun zanthic-setup-be70 tab "Link B" "" 0
crun zanthic-setup-be90 tab "Tarnwright Device" "" 0
crun zanthic-luts tab "Studio A" "" 1
wait
crun zanthic-luts-be90 tab "Tarnwright Device" "" 1
crun zanthic-lut-transfer lut-transfer "Studio A" "" 1
crun zanthic-factory-reset factory-reset "Studio A" "" 0
wait
# An out-of-date converter is offered its update only in the simulation-only tree, whose
# plug-ins carry the synthetic packages.
if [ -x "$build/sim/bin/vantorel" ]; then
    program=$build/sim/bin/vantorel
    crun converters-update-prompt update "Converter Model 09" "" 0
    crun converters-update-done update "Converter Model 09" "" 1
    crun zanthic-update-prompt update "Loop C" "" 0
    crun zanthic-update-done update "Loop C" "" 1
    wait
fi

failures=0
for name in "${names[@]}"; do
    rc=$(cat "$scratch/$name/result" 2>/dev/null || echo missing)
    if [ "$rc" != 0 ] || [ ! -s "$out/$name.png" ]; then
        echo "FAILED $name (exit $rc)" >&2
        sed 's/^/    /' "$scratch/$name/log" >&2
        failures=$((failures + 1))
    else
        echo "wrote $out/$name.png"
    fi
done

[ "$failures" = 0 ] || exit 1
[ "$netns" = yes ] || exit 77
