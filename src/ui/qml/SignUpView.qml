import QtQuick

// The sign-in step. Until the account service is connected it only leads on to the next step.
Item {
    id: view
    property var appState

    PageText {
        anchors.horizontalCenter: parent.horizontalCenter
        y: 0
        text: "Parlune"
        size: 20
        alpha: 0.4
    }
    ContinueButton {
        objectName: "signUpContinue"
        anchors.bottom: parent.bottom
        width: parent.width
        title: "Continue"
        onAction: view.appState.pages.setOnboardingStep(view.appState.onboardingStep + 1)
    }
}
