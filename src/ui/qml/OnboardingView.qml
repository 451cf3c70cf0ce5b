import QtQuick

// First-run pages (placeholder): shows the step it is on.
Item {
    id: view
    property var appState
    width: 290
    height: 360

    Column {
        anchors.centerIn: parent
        spacing: 12
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Welcome to Parlune"
            color: Theme.primaryText
            font.family: Theme.family
            font.pixelSize: 17
            font.weight: Font.DemiBold
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Step " + ((view.appState ? view.appState.onboardingStep : 0) + 1)
            color: Theme.secondaryText
            font.family: Theme.family
            font.pixelSize: Theme.bodySize
        }
        PlainButton {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Continue"
            onClicked: view.appState.setHasCompletedOnboarding(true)
        }
    }
}
