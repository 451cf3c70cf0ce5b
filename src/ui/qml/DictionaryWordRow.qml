import QtQuick

// One dictionary word, centred, with a delete cross that shows while the pointer is over the row.
Item {
    id: row
    property string word
    property bool isHovered: hover.containsMouse
    signal deleteRequested()
    implicitHeight: label.implicitHeight + 24

    MouseArea {
        id: hover
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.NoButton
    }
    PageText {
        id: label
        anchors.centerIn: parent
        text: row.word
        size: 16
    }
    SymbolButton {
        objectName: "deleteButton"
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        width: 20
        height: 20
        symbol: "xmark"
        alpha: 0.3
        opacity: row.isHovered ? 1 : 0
        Behavior on opacity { NumberAnimation { duration: 150; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut } }
        onClicked: row.deleteRequested()
    }
}
