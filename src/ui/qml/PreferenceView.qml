import QtQuick

// The Preference page: the hotkey, with its recorder, and the model provider.
Item {
    id: view
    property var appState
    readonly property var pages: appState ? appState.pages : null
    property bool isRecordingHotkey: false
    signal back()

    Connections {
        target: view.pages
        function onHotkeyRecorded() { view.isRecordingHotkey = false }
    }

    Column {
        anchors.fill: parent
        spacing: 24
        PageHeader {
            width: parent.width
            title: "Preference"
            onBack: view.back()
        }
        Column {
            width: parent.width
            spacing: 8
            PageText { text: "Hotkey"; size: 16; alpha: 0.4 }
            Rectangle {
                objectName: "hotkeyRow"
                width: parent.width
                height: 36 + 8
                radius: 12
                color: Qt.rgba(0, 0, 0, view.isRecordingHotkey ? 0.12 : 0.06)
                PageText {
                    objectName: "hotkeyName"
                    anchors.left: parent.left
                    anchors.leftMargin: 16
                    anchors.verticalCenter: parent.verticalCenter
                    text: view.isRecordingHotkey ? "Press a key combo..." : (view.pages ? view.pages.selectedHotkeyName : "")
                    size: 16
                    alpha: view.isRecordingHotkey ? 0.4 : 1.0
                }
                Item {
                    objectName: "recordButton"
                    anchors.right: parent.right
                    anchors.rightMargin: 4
                    anchors.verticalCenter: parent.verticalCenter
                    width: 36
                    height: 36
                    Rectangle {
                        anchors.centerIn: parent
                        visible: view.isRecordingHotkey
                        width: 10
                        height: 10
                        radius: 5
                        color: "red"
                    }
                    SymbolButton {
                        anchors.centerIn: parent
                        visible: !view.isRecordingHotkey
                        symbol: "arrow.clockwise"
                        size: 14
                        onClicked: view.isRecordingHotkey = true
                    }
                }
            }
        }
        Column {
            width: parent.width
            spacing: 8
            PageText { text: "Model"; size: 16; alpha: 0.4 }
            Row {
                width: parent.width
                spacing: 8
                Repeater {
                    model: ["Local", "Fast"]
                    delegate: SettingsRowButton {
                        required property string modelData
                        objectName: "provider" + modelData
                        width: (parent.width - 8) / 2
                        text: modelData
                        alignment: Text.AlignHCenter
                        radius: 12
                        fill: view.pages && view.pages.selectedModelProvider === modelData ? 0.08 : 0.03
                        onClicked: view.pages.setSelectedModelProvider(modelData)
                    }
                }
            }
        }
    }
    Loader {
        anchors.fill: parent
        active: view.isRecordingHotkey
        sourceComponent: HotkeyRecorderOverlay { pages: view.pages }
    }
}
