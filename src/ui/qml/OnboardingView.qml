import QtQuick

// The first-run pages, chosen by the onboarding step: sign-in, the three categories (one page),
// the permissions and the practice dictation. Pages cross-fade over 0.35 s when the phase changes;
// a step past the end completes the onboarding.
Item {
    id: view
    property var appState
    property var shell: null  // delivers addresses opened with the application (the sign-in callback)
    readonly property int step: appState ? appState.onboardingStep : 0
    readonly property int phase: appState ? appState.pages.phaseForStep(step) : 0
    width: 290
    height: 360

    Rectangle {
        anchors.fill: parent
        color: "white"
    }
    onPhaseChanged: if (phase === 4 && visible) complete()
    onVisibleChanged: if (phase === 4 && visible) complete()
    Component.onCompleted: if (phase === 4 && visible) complete()
    // Completes after the change that led here has settled.
    function complete() { Qt.callLater(() => { if (view.phase === 4) view.appState.pages.completeOnboarding() }) }

    Item {
        id: frame
        anchors.fill: parent
        anchors.leftMargin: 20
        anchors.rightMargin: 20
        anchors.bottomMargin: 20

        Repeater {
            model: [
                { phase: 0, component: signUp },
                { phase: 1, component: categories },
                { phase: 2, component: permissions },
                { phase: 3, component: tryShortcut }
            ]
            delegate: Loader {
                id: page
                required property var modelData
                readonly property bool current: view.phase === modelData.phase
                objectName: "onboardingPhase" + modelData.phase
                anchors.fill: parent
                active: current || opacity > 0
                enabled: current
                opacity: current ? 1 : 0
                Behavior on opacity { NumberAnimation { duration: 350; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut } }
                sourceComponent: modelData.component
            }
        }
    }
    Component { id: signUp; SignUpView { appState: view.appState; shell: view.shell } }
    Component { id: categories; OnboardingCategoryPhase { appState: view.appState } }
    Component { id: permissions; OnboardingPermissionsView { appState: view.appState } }
    Component { id: tryShortcut; OnboardingTryShortcutView { appState: view.appState } }
}
