import QtQuick

// A plain button showing one of the system images, black at `alpha`.
Item {
    id: button
    property string symbol
    property real size: 16
    property real alpha: 0.4
    signal clicked()
    implicitWidth: Math.max(size + 4, 20)
    implicitHeight: Math.max(size + 4, 20)

    Image {
        anchors.centerIn: parent
        source: "images/" + button.symbol + ".svg"
        sourceSize: Qt.size(button.size, button.size)
        opacity: button.alpha * (area.pressed ? 0.6 : 1.0)
    }
    MouseArea {
        id: area
        anchors.fill: parent
        enabled: button.visible && button.opacity > 0
        onClicked: button.clicked()
    }
}
