import QtQuick

// The permissions page: the two permission buttons, their dots live.
Item {
    id: view
    property var appState
    signal back()
    Column {
        anchors.fill: parent
        spacing: 12
        PageHeader {
            width: parent.width
            title: "Permissions"
            onBack: view.back()
        }
        PermissionButtons {
            width: parent.width
            appState: view.appState
        }
    }
}
