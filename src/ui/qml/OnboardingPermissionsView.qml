import QtQuick

// Step 4: the two permissions. The page moves on by itself once both are granted.
Item {
    id: view
    property var appState

    Component.onCompleted: if (appState) appState.pages.permissionsPageShown()
    Component.onDestruction: if (appState) appState.pages.permissionsPageHidden()

    PageText {
        anchors.horizontalCenter: parent.horizontalCenter
        text: "Permissions"
        size: 20
        alpha: 0.4
    }
    Column {
        anchors.bottom: parent.bottom
        width: parent.width
        spacing: 0
        PageText {
            anchors.horizontalCenter: parent.horizontalCenter
            bottomPadding: 16
            horizontalAlignment: Text.AlignHCenter
            text: "Parlune needs these permissions\nto work its magic."
            size: 20
        }
        PermissionButtons {
            width: parent.width
            appState: view.appState
        }
    }
}
