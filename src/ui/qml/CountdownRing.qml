import QtQuick

// A faint full circle with a white arc over it that starts at the top and shrinks back to it,
// linearly, in `duration` seconds.
Item {
    id: ring
    property real duration: 4.0
    property real thickness: 1.5
    property real trimEnd: 1.0
    // Tests stop the countdown to look at one moment of it.
    property bool running: true

    NumberAnimation on trimEnd {
        from: 1.0
        to: 0.0
        duration: ring.duration * 1000
        running: ring.running
    }

    Canvas {
        id: canvas
        // The stroke is centred on the circle, so half of it lies outside the ring's frame.
        x: -ring.thickness
        y: -ring.thickness
        width: ring.width + 2 * ring.thickness
        height: ring.height + 2 * ring.thickness
        onPaint: {
            const ctx = getContext("2d");
            ctx.reset();
            const cx = width / 2, cy = height / 2, r = Math.min(ring.width, ring.height) / 2;
            ctx.lineWidth = ring.thickness;
            ctx.strokeStyle = Qt.rgba(1, 1, 1, 0.15);
            ctx.lineCap = "butt";
            ctx.beginPath();
            ctx.arc(cx, cy, r, 0, 2 * Math.PI, false);
            ctx.stroke();
            if (ring.trimEnd > 0) {
                ctx.strokeStyle = "white";
                ctx.lineCap = "round";
                ctx.beginPath();
                ctx.arc(cx, cy, r, -Math.PI / 2, -Math.PI / 2 + 2 * Math.PI * ring.trimEnd, false);
                ctx.stroke();
            }
        }
    }
    onTrimEndChanged: canvas.requestPaint()
}
