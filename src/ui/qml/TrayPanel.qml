import QtQuick
import QtQuick.Window

// The small window that holds MenuBarView next to the tray item.
Window {
    id: window
    required property var appState
    required property var shell
    title: "Parlune"
    flags: Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint
    color: "transparent"
    width: menu.width
    height: menu.implicitHeight

    Rectangle {
        anchors.fill: parent
        color: Theme.panelBackground
        radius: 10
        border.color: Qt.rgba(1, 1, 1, 0.1)
    }
    MenuBarView {
        id: menu
        appState: window.appState
        shell: window.shell
    }
}
