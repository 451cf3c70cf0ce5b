import QtQuick

// The two permission buttons, their dots following the published permission values.
Column {
    id: buttons
    property var appState
    spacing: 12
    width: parent ? parent.width : 250

    ContinueButton {
        objectName: "speechButton"
        width: buttons.width
        title: "Speech Recognition"
        hasStatusDot: true
        statusDotColor: buttons.appState && buttons.appState.speechAuthorized ? "green" : "red"
        onAction: buttons.appState.pages.checkSpeechAuthorization()
    }
    ContinueButton {
        objectName: "accessibilityButton"
        width: buttons.width
        title: "Accessibility"
        hasStatusDot: true
        statusDotColor: buttons.appState && buttons.appState.hasAccessibilityPermission ? "green" : "red"
        onAction: buttons.appState.pages.requestAccessibilityPermission()
    }
}
