import QtQuick

// Steps 1 to 3: one category after another on the same page; the content fades out and in over
// 0.2 s each way when the category changes.
Item {
    id: phase
    property var appState
    readonly property var pages: appState ? appState.pages : null
    readonly property int currentStep: appState ? Math.max(1, Math.min(3, appState.onboardingStep)) : 1
    property var categoryStyles: ({ "1": "Standard", "2": "Standard", "3": "Standard" })
    property int displayedStep: 1
    property real contentOpacity: 1.0
    readonly property int fadeDuration: 200

    Component.onCompleted: {
        displayedStep = currentStep
        if (pages) pages.loadApps()
    }
    onCurrentStepChanged: {
        if (currentStep === displayedStep) return
        fadeIn.stop()
        fadeOut.restart()
        switchTimer.restart()
    }
    NumberAnimation { id: fadeOut; target: phase; property: "contentOpacity"; to: 0; duration: phase.fadeDuration; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeOut }
    NumberAnimation { id: fadeIn; target: phase; property: "contentOpacity"; to: 1; duration: phase.fadeDuration; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeIn }
    Timer {
        id: switchTimer
        interval: phase.fadeDuration
        onTriggered: {
            phase.displayedStep = phase.currentStep
            fadeIn.restart()
        }
    }

    OnboardingCategoryContent {
        id: content
        objectName: "categoryContent"
        anchors.top: parent.top
        anchors.bottom: continueButton.top
        width: parent.width
        opacity: phase.contentOpacity
        pages: phase.pages
        step: phase.displayedStep
        selectedStyle: phase.categoryStyles[String(phase.displayedStep)] || "Standard"
        onStyleChosen: (style) => {
            const styles = Object.assign({}, phase.categoryStyles)
            styles[String(phase.displayedStep)] = style
            phase.categoryStyles = styles
        }
    }
    ContinueButton {
        id: continueButton
        objectName: "categoryContinue"
        anchors.bottom: parent.bottom
        width: parent.width
        title: "Continue"
        onAction: phase.pages.continueCategory(phase.currentStep, phase.categoryStyles[String(phase.currentStep)] || "Standard")
    }
}
