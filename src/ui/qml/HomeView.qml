import QtQuick

// The main page once onboarding is done: the totals, the restart arrow and the settings gear. The
// settings list replaces the content with a 0.3 s cross-fade.
Item {
    id: view
    property var appState
    readonly property var pages: appState ? appState.pages : null
    property bool showSettings: false
    width: 290
    height: 360

    Rectangle {
        anchors.fill: parent
        color: "white"
    }
    Item {
        anchors.fill: parent
        anchors.leftMargin: 20
        anchors.rightMargin: 20
        anchors.bottomMargin: 20

        Item {
            id: homeContent
            objectName: "homeContent"
            anchors.fill: parent
            opacity: view.showSettings ? 0 : 1
            enabled: !view.showSettings
            visible: opacity > 0
            Behavior on opacity { NumberAnimation { duration: 300; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut } }

            Item {
                id: topRow
                width: parent.width
                height: 24
                SymbolButton {
                    objectName: "restartButton"
                    anchors.left: parent.left
                    anchors.verticalCenter: parent.verticalCenter
                    symbol: "arrow.counterclockwise"
                    onClicked: view.pages.restartOnboarding()
                }
                PageText {
                    anchors.centerIn: parent
                    text: "Parlune"
                    size: 16
                    alpha: 0.4
                }
                SymbolButton {
                    objectName: "gearButton"
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    symbol: "gear"
                    onClicked: view.showSettings = true
                }
            }
            Column {
                anchors.centerIn: parent
                spacing: 14
                PageText {
                    objectName: "totalWordsLine"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: view.pages ? view.pages.totalWordsText : ""
                    size: 16
                }
                PageText {
                    objectName: "minutesSavedLine"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: view.pages ? view.pages.minutesSavedText : ""
                    size: 16
                }
            }
        }
        Loader {
            id: settings
            objectName: "settingsLoader"
            anchors.fill: parent
            active: view.showSettings || opacity > 0
            enabled: view.showSettings
            opacity: view.showSettings ? 1 : 0
            Behavior on opacity { NumberAnimation { duration: 300; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut } }
            sourceComponent: SettingsView {
                appState: view.appState
                onClose: view.showSettings = false
            }
        }
    }
}
