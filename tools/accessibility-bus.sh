# Sourced by the scripts that read the window through the accessibility bus
# on a virtual display (the screenshots, the AT-SPI test).
#
# start_accessibility_bus: starts the bus launcher of this session (its pid in
# accessibility_bus, for the caller to end), waits until Qt can find the bus
# through the root window's AT_SPI_BUS property, which a display started with
# -noreset keeps, and until the registry answers. Every wait has a time-out.
start_accessibility_bus() {
    /usr/libexec/at-spi-bus-launcher --launch-immediately 2>/dev/null &
    accessibility_bus=$!
    gdbus wait --session --timeout 15 org.a11y.Bus
    local address
    address="$(gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
        --method org.a11y.Bus.GetAddress)"
    address="${address#(\'}"
    address="${address%\',)}"
    for _ in $(seq 150); do
        xprop -root AT_SPI_BUS 2>/dev/null | grep -qF "\"$address\"" && break
        sleep 0.1
    done
    xprop -root AT_SPI_BUS | grep -qF "\"$address\"" ||
        { echo "the accessibility bus was not announced on the display" >&2; return 1; }
    gdbus wait --address "$address" --activate org.a11y.atspi.Registry --timeout 15 \
        org.a11y.atspi.Registry
}
