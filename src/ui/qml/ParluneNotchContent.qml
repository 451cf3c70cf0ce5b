import QtQuick

// One row: the frontmost application's icon (when there is one), flexible space, and the mark.
// At least 250 points wide, 4 points of padding left and right.
Item {
    id: content
    property var controller
    readonly property bool hasIcon: controller ? controller.hasFocusedAppIcon : false
    readonly property int spacing: 12
    readonly property int padding: 4
    readonly property real rowWidth: Math.max(250, (hasIcon ? 20 + spacing : 0) + spacing + dots.width)
    width: rowWidth + 2 * padding
    height: 20

    Image {
        id: icon
        objectName: "appIcon"
        visible: content.hasIcon
        x: content.padding
        anchors.verticalCenter: parent.verticalCenter
        width: 20
        height: 20
        sourceSize: Qt.size(Math.ceil(20 * Screen.devicePixelRatio), Math.ceil(20 * Screen.devicePixelRatio))
        source: content.hasIcon ? content.controller.focusedAppIconSource : ""
        fillMode: Image.PreserveAspectFit
        smooth: true
    }
    ParluneDotsIndicator {
        id: dots
        objectName: "dots"
        size: 20
        x: content.padding + content.rowWidth - width
        anchors.verticalCenter: parent.verticalCenter
    }
}
