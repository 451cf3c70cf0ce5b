import QtQuick

// A proposed dictionary word: below a block as tall as a camera housing would be (37 points here,
// where there is none), the countdown ring, the word and the trash button.
Item {
    id: view
    property string word
    property real duration: 4.0
    signal trash()
    readonly property int housingHeight: 37
    readonly property int padding: 4
    readonly property real rowWidth: Math.max(160, 12 + 10 + label.implicitWidth + 10 + 4 + 10 + 12)
    width: rowWidth + 2 * padding
    height: housingHeight + row.height

    Item {
        id: row
        objectName: "row"
        x: view.padding
        y: view.housingHeight
        width: view.rowWidth
        height: Math.max(12, label.implicitHeight) + 16

        CountdownRing {
            id: ring
            objectName: "ring"
            duration: view.duration
            thickness: 1.5
            width: 12
            height: 12
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            id: label
            objectName: "word"
            x: ring.width + 10
            anchors.verticalCenter: parent.verticalCenter
            text: view.word
            color: "white"
            font.family: Theme.family
            font.weight: Font.Medium
            font.pixelSize: 13
            maximumLineCount: 1
        }
        Item {
            objectName: "trashButton"
            x: parent.width - width
            anchors.verticalCenter: parent.verticalCenter
            width: 12
            height: 12
            Image {
                anchors.fill: parent
                source: "images/trash.svg"
                sourceSize: Qt.size(48, 48)
                opacity: 0.4
            }
            MouseArea {
                anchors.fill: parent
                onClicked: view.trash()
            }
        }
    }
}
