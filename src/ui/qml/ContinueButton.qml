import QtQuick
import QtQuick.Controls.Basic

// The large primary button of the onboarding and the permission pages.
Item {
    id: button
    property string title
    property bool isLoading: false
    property bool isDisabled: false
    property color statusDotColor: "transparent"
    property bool hasStatusDot: false
    signal action()
    readonly property bool reacts: !isLoading && !isDisabled
    implicitWidth: 250
    implicitHeight: 54
    opacity: (isLoading || isDisabled) ? 0.5 : 1.0
    scale: isLoading ? 0.95 : 1.0
    Behavior on opacity { NumberAnimation { duration: 200; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut } }
    Behavior on scale { NumberAnimation { duration: 200; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut } }

    Rectangle {
        id: shape
        anchors.fill: parent
        radius: 17
        border.color: "black"
        border.width: 2
        gradient: Gradient {
            GradientStop { position: 0.0; color: Qt.rgba(0.263, 0.259, 0.278, 1) }
            GradientStop { position: 1.0; color: Qt.rgba(0.145, 0.141, 0.161, 1) }
        }
    }
    // The highlight line under the top edge.
    Rectangle {
        x: shape.radius / 2
        width: parent.width - shape.radius
        y: 1.5
        height: 1.5
        color: Qt.rgba(0.392, 0.392, 0.4, 1)
    }
    Row {
        id: label
        objectName: "continueLabel"
        anchors.centerIn: parent
        spacing: 8
        scale: area.pressed && button.reacts ? 0.95 : 1.0
        Behavior on scale { NumberAnimation { duration: 100; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeOut } }
        BusyIndicator {
            visible: button.isLoading
            running: button.isLoading
            width: 20
            height: 20
            scale: 0.8
            palette.dark: "white"
            anchors.verticalCenter: parent.verticalCenter
        }
        Rectangle {
            objectName: "statusDot"
            visible: button.hasStatusDot
            width: 10
            height: 10
            radius: 5
            color: button.statusDotColor
            anchors.verticalCenter: parent.verticalCenter
        }
        Item {
            width: titleText.implicitWidth
            height: titleText.implicitHeight
            anchors.verticalCenter: parent.verticalCenter
            Text {
                id: titleText
                objectName: "continueTitle"
                text: button.isLoading ? "Loading..." : button.title
                font.family: Theme.pageFamily
                font.weight: Font.Medium
                font.pixelSize: 16
                color: "white"
            }
        }
    }
    MouseArea {
        id: area
        objectName: "continueArea"
        anchors.fill: parent
        enabled: button.reacts
        onClicked: button.action()
    }
}
