#!/bin/sh
# Screenshots of the window under Xvfb, for a look at it as a user sees it:
#   make build && sh tools/take-screenshots.sh build /tmp/shots
# 1366x768 (not maximized, maximized, the minimum size, unplugged and plugged
# in again), 1400x1000, the firmware page in English, and a bus search with no
# instrument. Each screen gets its own Xvfb; the instrument is usb-tester-sim
# (speed 60) fed commands (unplug, replug) through a fifo. The clicks are at
# fixed places in the window: after a layout change, check them.
B=$(cd "${1:-build}" && pwd); OUT=${2:-.}
mkdir -p "$OUT"; OUT=$(cd "$OUT" && pwd)
T=$(mktemp -d)
mkfifo $T/simin
cd $T                  # a fresh usb-hid.ini

start() { # N WxH [window options...]
  N=$1; GEO=$2; shift 2
  Xvfb :$N -screen 0 ${GEO}x24 >/dev/null 2>&1 & XV=$!
  sleep 100000 > $T/simin & HOLD=$!
  $B/sim/usb-tester-sim --listen $T/sim$N.sock --speed 60 KV37 < $T/simin >/dev/null 2>&1 & SIM=$!
  sleep 1
  DISPLAY=:$N $B/usb-tester --device socket:$T/sim$N.sock "$@" >/dev/null 2>&1 & APP=$!
  sleep 5
  export DISPLAY=:$N
  W=$(xdotool search --name ORVANE | head -1)
}
stop() { kill $APP; sleep 1; kill $SIM $HOLD $XV; sleep 1; }
at() { # x y relative to the window, then click
  eval $(xdotool getwindowgeometry --shell $W)
  xdotool mousemove $((X + $1)) $((Y + $2)) ${3:+click $3}
}
shot() { import -window root $OUT/$1.png; }

# 1366x768, not maximized: the window opens within the screen.
start 71 1366x768
shot 1366x768-home
at 750 250 1          # constant current
sleep 2
at 609 318 1          # start the discharge
sleep 20
at 830 560            # rest the pointer on the plot: the cross-hair
sleep 1.5
shot 1366x768-readings
# maximized with the title bar's button
at 1183 17 1
sleep 2
at 700 600
sleep 1.5
shot 1366x768-maximized
at 1317 17 1          # restore
sleep 1
# the minimum size
MIN=$(xprop -id $W WM_NORMAL_HINTS | sed -n 's/.*minimum size: \([0-9]*\) by \([0-9]*\).*/\1 \2/p')
xdotool windowsize $W $MIN
sleep 2
at 620 450
sleep 1.5
shot minimum-size
# unplugged, then plugged in again
echo unplug > $T/simin
sleep 3
shot minimum-size-unplugged
echo replug > $T/simin
sleep 6
shot minimum-size-replugged
stop

# 1400x1000
start 72 1400x1000
at 750 316 1          # constant current
sleep 2
at 609 384 1          # start the discharge
sleep 20
at 830 700
sleep 1.5
shot 1400x1000-readings
stop

# In English: the firmware page before any upgrade.
printf '[General]\nlanguage=English\n' > $T/usb-hid.ini
start 74 1400x1000
at 460 316 1          # Firmware update
sleep 2
shot 1400x1000-english-firmware
stop
rm $T/usb-hid.ini

# No instrument: a search finds nothing; the start page names the udev rule.
Xvfb :73 -screen 0 1366x768x24 >/dev/null 2>&1 & XV=$!
sleep 1
DISPLAY=:73 $B/usb-tester --device socket:$T/none.sock >/dev/null 2>&1 & APP=$!
sleep 5
export DISPLAY=:73
W=$(xdotool search --name ORVANE | head -1)
at 120 669 1          # the bus search
sleep 5
shot no-instrument-search
kill $APP; sleep 1; kill $XV
rm -rf $T
