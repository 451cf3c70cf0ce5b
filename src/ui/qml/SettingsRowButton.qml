import QtQuick

// A settings row or choice: its label on a rounded ground that shows while hovered or pressed,
// and shrinks a little while pressed.
Item {
    id: button
    property alias text: label.text
    property real fill: 0.0          // the ground's opacity when not hovered
    property real padding: 16
    property int alignment: Text.AlignLeft
    property real radius: 14
    property color textColor: "black"
    property bool isHovered: area.containsMouse
    signal clicked()
    implicitHeight: label.implicitHeight + 24
    implicitWidth: label.implicitWidth + 2 * padding

    Rectangle {
        anchors.fill: parent
        radius: button.radius
        color: Qt.rgba(0, 0, 0, (button.isHovered || area.pressed) ? Math.max(0.05, button.fill) : button.fill)
        Behavior on color { ColorAnimation { duration: 150; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut } }
    }
    PageText {
        id: label
        anchors.fill: parent
        anchors.leftMargin: button.padding
        anchors.rightMargin: button.padding
        horizontalAlignment: button.alignment
        verticalAlignment: Text.AlignVCenter
        size: 16
        color: button.textColor
        scale: area.pressed ? 0.98 : 1.0
        Behavior on scale { NumberAnimation { duration: 100; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeOut } }
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.clicked()
    }
}
