import QtQuick

// A page's header: the back chevron, the centred title and an invisible chevron that keeps it
// centred; all black at 40 %.
Item {
    id: header
    property string title
    property real titleSize: 16
    signal back()
    implicitHeight: Math.max(titleLabel.implicitHeight, backButton.implicitHeight)
    implicitWidth: 250

    SymbolButton {
        id: backButton
        objectName: "backButton"
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        symbol: "chevron.left"
        onClicked: header.back()
    }
    PageText {
        id: titleLabel
        anchors.centerIn: parent
        text: header.title
        size: header.titleSize
        alpha: 0.4
    }
    SymbolButton {
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        symbol: "chevron.left"
        opacity: 0
    }
}
