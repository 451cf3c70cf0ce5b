import QtQuick

// Main page (placeholder): shows the statistics it reads.
Item {
    id: view
    property var appState
    width: 290
    height: 360

    Column {
        anchors.centerIn: parent
        spacing: 8
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Parlune"
            color: Theme.primaryText
            font.family: Theme.family
            font.pixelSize: 17
            font.weight: Font.DemiBold
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: (view.appState ? view.appState.totalWords : 0) + " words dictated"
            color: Theme.secondaryText
            font.family: Theme.family
            font.pixelSize: Theme.bodySize
        }
    }
}
