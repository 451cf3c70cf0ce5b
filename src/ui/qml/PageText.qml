import QtQuick

// A text of the main window's pages: the page face at the given size, black at the given opacity.
Text {
    property real size: 16
    property real alpha: 1.0
    color: Qt.rgba(0, 0, 0, alpha)
    font.family: Theme.pageFamily
    font.weight: Font.Medium
    font.pixelSize: size
}
