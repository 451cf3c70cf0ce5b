import QtQuick

// Fades a scrolling area into the white ground over 12 points at its top and bottom edges.
Item {
    anchors.fill: parent
    Rectangle {
        width: parent.width
        height: 12
        gradient: Gradient {
            GradientStop { position: 0.0; color: "white" }
            GradientStop { position: 1.0; color: Qt.rgba(1, 1, 1, 0) }
        }
    }
    Rectangle {
        anchors.bottom: parent.bottom
        width: parent.width
        height: 12
        gradient: Gradient {
            GradientStop { position: 0.0; color: Qt.rgba(1, 1, 1, 0) }
            GradientStop { position: 1.0; color: "white" }
        }
    }
}
