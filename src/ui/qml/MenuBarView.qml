import QtQuick

// The tray item's panel: status, permissions, the last transcription and three buttons.
Item {
    id: view
    property var appState
    property var shell
    readonly property bool recording: appState ? appState.isRecording : false
    readonly property string last: appState ? appState.lastTranscription : ""
    readonly property int padding: 16
    width: 250
    implicitHeight: column.implicitHeight + 2 * padding

    component PermissionLine: Row {
        property string label
        property bool granted
        spacing: 6
        Image {
            anchors.verticalCenter: parent.verticalCenter
            width: 12
            height: 12
            sourceSize: Qt.size(48, 48)
            source: parent.granted ? "images/checkmark.circle.fill.svg" : "images/xmark.circle.fill.svg"
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: parent.label
            color: Theme.primaryText
            font.family: Theme.family
            font.pixelSize: Theme.captionSize
        }
    }

    Column {
        id: column
        x: view.padding
        y: view.padding
        width: view.width - 2 * view.padding
        spacing: 12

        Row {
            objectName: "statusLine"
            spacing: 8
            Rectangle {
                objectName: "statusDot"
                anchors.verticalCenter: parent.verticalCenter
                width: 8
                height: 8
                radius: 4
                color: view.recording ? Theme.red : Theme.green
            }
            Text {
                objectName: "statusText"
                anchors.verticalCenter: parent.verticalCenter
                text: view.recording ? "Recording..." : "Ready"
                color: Theme.primaryText
                font.family: Theme.family
                font.pixelSize: Theme.headlineSize
                font.weight: Font.DemiBold
            }
        }
        Divider { width: parent.width }
        Column {
            spacing: 8
            PermissionLine {
                objectName: "speechLine"
                label: "Speech Recognition"
                granted: view.appState ? view.appState.speechAuthorized : false
            }
            PermissionLine {
                objectName: "accessibilityLine"
                label: "Accessibility"
                granted: view.appState ? view.appState.hasAccessibilityPermission : false
            }
        }
        Divider { width: parent.width }
        Column {
            objectName: "lastBlock"
            visible: view.last !== ""
            width: parent.width
            spacing: 4
            Text {
                text: "Last:"
                color: Theme.secondaryText
                font.family: Theme.family
                font.pixelSize: Theme.captionSize
            }
            Text {
                objectName: "lastText"
                width: parent.width
                text: view.last
                color: Theme.primaryText
                font.family: Theme.family
                font.pixelSize: Theme.captionSize
                wrapMode: Text.Wrap
                maximumLineCount: 3
                elide: Text.ElideRight
            }
        }
        Divider {
            visible: view.last !== ""
            width: parent.width
        }
        PlainButton {
            objectName: "openSettingsButton"
            text: "Open Settings..."
            onClicked: view.shell.openSettings()
        }
        PlainButton {
            objectName: "checkForUpdatesButton"
            text: "Check for Updates..."
            onClicked: view.shell.checkForUpdates()
        }
        PlainButton {
            objectName: "quitButton"
            text: "Quit Parlune"
            onClicked: view.shell.quit()
        }
    }
}
