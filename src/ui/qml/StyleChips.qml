import QtQuick

// The three style chips, Casual, Standard, Formal. `chips` holds, per chip, its name, whether it
// reacts and whether it is the selected one.
Row {
    id: row
    property var chips: []
    signal chosen(string style)
    spacing: 10
    height: 36

    Repeater {
        model: row.chips
        delegate: Item {
            id: chip
            required property var modelData
            objectName: "chip" + modelData.name
            width: chipLabel.implicitWidth + 32
            height: 36
            Rectangle {
                anchors.fill: parent
                radius: 12
                color: chip.modelData.selected ? "black" : Qt.rgba(0, 0, 0, 0.06)
                Behavior on color { ColorAnimation { duration: 200; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut } }
            }
            PageText {
                id: chipLabel
                anchors.centerIn: parent
                text: chip.modelData.name
                size: 13
                color: chip.modelData.selected ? "white" : Qt.rgba(0, 0, 0, chip.modelData.enabled ? 1.0 : 0.3)
            }
            MouseArea {
                anchors.fill: parent
                enabled: chip.modelData.enabled
                onClicked: row.chosen(chip.modelData.name)
            }
        }
    }
}
