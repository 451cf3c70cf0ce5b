import QtQuick

// The main window's root: the onboarding until it has been completed, then the home page; each
// side fades in and out over 0.35 s.
Item {
    id: content
    property var appState
    property var shell
    readonly property bool completed: appState ? appState.hasCompletedOnboarding : false
    implicitWidth: 290
    implicitHeight: 360

    OnboardingView {
        id: onboarding
        appState: content.appState
        shell: content.shell
        opacity: content.completed ? 0 : 1
        visible: opacity > 0
        Behavior on opacity {
            NumberAnimation { duration: 350; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut }
        }
    }
    HomeView {
        id: home
        appState: content.appState
        opacity: content.completed ? 1 : 0
        visible: opacity > 0
        Behavior on opacity {
            NumberAnimation { duration: 350; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut }
        }
    }
}
