import QtQuick

// The settings list and its five pages; list and pages cross-fade over 0.3 s.
Item {
    id: view
    property var appState
    property string activePage: ""
    signal close()

    Item {
        anchors.fill: parent
        opacity: view.activePage === "" ? 1 : 0
        enabled: view.activePage === ""
        visible: opacity > 0
        Behavior on opacity { NumberAnimation { duration: 300; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut } }
        Column {
            anchors.fill: parent
            PageHeader {
                objectName: "settingsHeader"
                width: parent.width
                title: "Settings"
                onBack: view.close()
            }
            Repeater {
                model: [["Style", "style"], ["Dictionary", "dictionary"], ["Preference", "preference"],
                        ["Permissions", "permissions"], ["Account", "account"]]
                delegate: SettingsRowButton {
                    required property var modelData
                    objectName: "settingsRow" + modelData[0]
                    width: parent.width
                    text: modelData[0]
                    onClicked: view.activePage = modelData[1]
                }
            }
        }
    }
    Repeater {
        model: [["style", style], ["dictionary", dictionary], ["preference", preference],
                ["permissions", permissions], ["account", account]]
        delegate: Loader {
            required property var modelData
            readonly property bool current: view.activePage === modelData[0]
            anchors.fill: parent
            active: current || opacity > 0
            enabled: current
            opacity: current ? 1 : 0
            Behavior on opacity { NumberAnimation { duration: 300; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut } }
            sourceComponent: modelData[1]
        }
    }
    Component { id: style; StyleSelectionView { appState: view.appState; onBack: view.activePage = "" } }
    Component { id: dictionary; DictionaryView { appState: view.appState; onBack: view.activePage = "" } }
    Component { id: preference; PreferenceView { appState: view.appState; onBack: view.activePage = "" } }
    Component { id: permissions; PermissionsView { appState: view.appState; onBack: view.activePage = "" } }
    Component { id: account; AccountView { appState: view.appState; onBack: view.activePage = "" } }
}
