import QtQuick

// A button without chrome: its label only, dimmed while pressed.
Item {
    id: button
    property alias text: label.text
    signal clicked()
    implicitWidth: label.implicitWidth
    implicitHeight: label.implicitHeight
    opacity: area.pressed ? 0.5 : 1.0

    Text {
        id: label
        color: area.containsMouse ? Qt.lighter(Theme.primaryText, 1.0) : Theme.primaryText
        font.family: Theme.family
        font.pixelSize: Theme.bodySize
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.clicked()
    }
}
