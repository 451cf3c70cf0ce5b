import QtQuick
import QtQuick.Window

// A black panel that hangs from the top edge of the screen, rounded at the bottom, above every
// window and never focused. Its content slides in and out along the notch curve over 0.55 s;
// NotchPanel (C++) creates the window, calls animateIn()/animateOut() and closes it on
// hideAnimationFinished().
Window {
    id: panel
    default property alias content: holder.data
    property real padding: 8
    readonly property real cornerRadius: 14
    property real progress: 0
    property int animationDuration: 550
    readonly property bool hovered: hover.hovered
    signal hideAnimationFinished()

    title: "Parlune Panel"
    flags: Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint | Qt.WindowDoesNotAcceptFocus | Qt.NoDropShadowWindowHint
    color: "transparent"
    width: holder.childrenRect.width + 2 * padding
    height: holder.childrenRect.height + 2 * padding

    function animateIn() {
        slide.stop();
        slide.to = 1;
        slide.start();
    }
    function animateOut() {
        slide.stop();
        slide.to = 0;
        slide.start();
    }

    NumberAnimation {
        id: slide
        target: panel
        property: "progress"
        duration: panel.animationDuration
        easing.type: Easing.BezierSpline
        easing.bezierCurve: Theme.notchCurve
        onFinished: if (panel.progress === 0) panel.hideAnimationFinished()
    }

    Item {
        anchors.fill: parent
        clip: true
        Rectangle {
            id: shape
            objectName: "notchShape"
            width: panel.width
            // The top corners sit above the window's edge: only the bottom ones show.
            height: panel.height + panel.cornerRadius
            y: -panel.cornerRadius - (1 - panel.progress) * panel.height
            radius: panel.cornerRadius
            color: "black"
            opacity: panel.progress
            Item {
                id: holder
                x: panel.padding
                y: panel.cornerRadius + panel.padding
            }
        }
        HoverHandler { id: hover }
    }
}
