import QtQuick
import QtQuick.Controls.Basic

// Step 5: a first dictation into the practice box, and the chance to change the shortcut.
Item {
    id: view
    property var appState
    readonly property var pages: appState ? appState.pages : null
    property bool isRecordingHotkey: false

    Timer {
        interval: 300
        running: true
        onTriggered: practice.forceActiveFocus()
    }
    Connections {
        target: view.pages
        function onHotkeyRecorded() { view.isRecordingHotkey = false }
    }

    Column {
        anchors.fill: parent
        spacing: 0
        PageHeader {
            objectName: "tryHeader"
            width: parent.width
            title: "Demo"
            titleSize: 20
            onBack: view.pages.setOnboardingStep(4)
        }
        Item { width: 1; height: 8 }
        PageText {
            objectName: "tryInstruction"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            text: view.pages ? view.pages.tryInstruction : ""
            size: 13
            alpha: 0.5
        }
        Item { width: 1; height: 8 }
        Rectangle {
            width: parent.width
            height: view.height - y - 54 - 54 - 12
            radius: 12
            color: Qt.rgba(0, 0, 0, 0.04)
            border.color: Qt.rgba(0, 0, 0, 0.08)
            border.width: 1
            TextArea {
                id: practice
                objectName: "practiceBox"
                anchors.fill: parent
                leftPadding: 8
                rightPadding: 8
                topPadding: 6
                bottomPadding: 6
                background: null
                wrapMode: TextEdit.Wrap
                color: "black"
                font.family: Theme.pageFamily
                font.pixelSize: 13
            }
            PageText {
                objectName: "practicePlaceholder"
                visible: practice.text.length === 0
                x: 12
                y: 10
                text: "Your transcription will appear here..."
                size: 13
                alpha: 0.25
            }
        }
        Item {
            objectName: "shortcutButton"
            width: parent.width
            height: 54
            Row {
                anchors.centerIn: parent
                spacing: 12
                PageText {
                    text: view.isRecordingHotkey ? "Press a key combo..." : "Change the Shortcut"
                    size: 13
                    alpha: 0.5
                    anchors.verticalCenter: parent.verticalCenter
                }
                Rectangle {
                    visible: view.isRecordingHotkey
                    width: 10
                    height: 10
                    radius: 5
                    color: "red"
                    anchors.verticalCenter: parent.verticalCenter
                }
            }
            MouseArea {
                anchors.fill: parent
                onClicked: view.isRecordingHotkey = true
            }
        }
        Item { width: 1; height: 12 }
        ContinueButton {
            objectName: "tryContinue"
            width: parent.width
            title: "Continue"
            isDisabled: !(view.pages && view.pages.canContinueTry(practice.text))
            onAction: view.pages.completeOnboarding()
        }
    }
    Loader {
        anchors.fill: parent
        active: view.isRecordingHotkey
        sourceComponent: HotkeyRecorderOverlay { pages: view.pages }
    }
}
