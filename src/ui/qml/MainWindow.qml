import QtQuick
import QtQuick.Window

// The main window: sized by its content, no title bar of the window manager; the top strip drags
// the window and holds the close button. Closing only hides it.
Window {
    id: window
    required property var appState
    required property var shell
    title: ""
    flags: Qt.Window | Qt.FramelessWindowHint
    color: "transparent"
    width: content.implicitWidth
    height: content.implicitHeight
    minimumWidth: width
    maximumWidth: width
    minimumHeight: height
    maximumHeight: height

    TransparentWindowBackground {
        anchors.fill: parent
    }
    ContentView {
        id: content
        anchors.fill: parent
        appState: window.appState
        shell: window.shell
    }
    Item {
        id: titleStrip
        width: parent.width
        height: 28
        DragHandler {
            target: null
            onActiveChanged: if (active) window.startSystemMove()
        }
        Rectangle {
            id: closeButton
            x: 10
            anchors.verticalCenter: parent.verticalCenter
            width: 12
            height: 12
            radius: 6
            color: closeArea.containsMouse ? Theme.red : Qt.rgba(1, 1, 1, 0.25)
            MouseArea {
                id: closeArea
                anchors.fill: parent
                hoverEnabled: true
                onClicked: window.close()
            }
        }
    }
}
