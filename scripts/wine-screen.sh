# Sourced by the scripts that run the Windows programs on a screen: the project's Wine prefix, a
# virtual screen of its own on the first free display, and one Wine server for everything that
# follows; the screen and the server go when the sourcing script ends.
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=d;mshtml=d"

display=99
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
trap 'wineserver -k 2>/dev/null || true; kill $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

# The server's background processes (services, the desktop window) start here, with no pipe of
# a caller's to inherit: ctest would otherwise wait for them to close it.
wineserver -p
wine cmd /c exit >/dev/null 2>&1 </dev/null
