pragma Singleton
import QtQuick

// Colours and faces shared by the views (dark appearance).
QtObject {
    readonly property color red: "#ff453a"
    readonly property color green: "#30d158"
    readonly property color primaryText: "#ffffff"
    readonly property color secondaryText: Qt.rgba(235 / 255, 235 / 255, 245 / 255, 0.6)
    readonly property color separator: Qt.rgba(1, 1, 1, 0.12)
    readonly property color panelBackground: "#262628"
    readonly property color hudBackground: Qt.rgba(0.11, 0.11, 0.12, 0.94)
    readonly property color glow: Qt.rgba(1.0, 0.545, 0.0, 1.0)
    readonly property string family: "Inter"
    // The face of the main window's pages (the brand face when installed, else the UI face).
    readonly property string pageFamily: Qt.fontFamilies().indexOf("PP Neue Montreal") >= 0 ? "PP Neue Montreal" : family
    readonly property int headlineSize: 13
    readonly property int bodySize: 13
    readonly property int captionSize: 10
    // The platform's ease-in-out curve.
    readonly property var easeInOut: [0.42, 0.0, 0.58, 1.0, 1.0, 1.0]
    // The platform's ease-out and ease-in curves.
    readonly property var easeOut: [0.0, 0.0, 0.58, 1.0, 1.0, 1.0]
    readonly property var easeIn: [0.42, 0.0, 1.0, 1.0, 1.0, 1.0]
    // The notch panel's curve.
    readonly property var notchCurve: [0.16, 1.0, 0.3, 1.0, 1.0, 1.0]
}
