import QtQuick
import Qt5Compat.GraphicalEffects

// The mark: the frame, an orange glow that breathes (0.7 <-> 1.3 over 1.2 s, eased, forever) added
// onto it, and the dots in front.
Item {
    id: mark
    property real size: 20
    property real breathScale: 0.7
    // Tests stop the breathing to look at one moment of it.
    property bool breathing: true
    width: size
    height: size

    Image {
        id: frame
        objectName: "frame"
        anchors.fill: parent
        source: "images/ParluneFrame.svg"
        sourceSize: Qt.size(Math.ceil(mark.size * 3), Math.ceil(mark.size * 3))
        fillMode: Image.PreserveAspectFit
        smooth: true
    }

    // The glow alone, blurred and scaled, as the layer added onto the frame.
    Item {
        id: glowLayer
        anchors.fill: parent
        visible: false
        Item {
            id: glowSquare
            anchors.fill: parent
            visible: false
            Rectangle {
                anchors.centerIn: parent
                width: mark.size * 17 / 49
                height: width
                radius: 2
                color: Theme.glow
            }
        }
        GaussianBlur {
            anchors.fill: parent
            source: glowSquare
            radius: mark.size * 5 / 49
            samples: 2 * Math.ceil(radius) + 1
            transparentBorder: true
            scale: mark.breathScale
        }
    }
    // Additive ("plus lighter") blend of the glow onto the frame.
    Blend {
        anchors.fill: parent
        source: frame
        foregroundSource: glowLayer
        mode: "addition"
    }

    Image {
        objectName: "dotsImage"
        anchors.centerIn: parent
        width: mark.size * 40 / 49
        height: width
        source: "images/ParluneDots.svg"
        sourceSize: Qt.size(Math.ceil(mark.size * 3), Math.ceil(mark.size * 3))
        fillMode: Image.PreserveAspectFit
        smooth: true
        mipmap: true
        antialiasing: true
    }

    SequentialAnimation on breathScale {
        running: mark.breathing && mark.visible
        loops: Animation.Infinite
        NumberAnimation { from: 0.7; to: 1.3; duration: 1200; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut }
        NumberAnimation { from: 1.3; to: 0.7; duration: 1200; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut }
    }
}
