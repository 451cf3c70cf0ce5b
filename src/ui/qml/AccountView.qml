import QtQuick

// The account page. Until the account service is connected it holds only its header.
Item {
    id: view
    property var appState
    signal back()
    PageHeader {
        width: parent.width
        title: "Account"
        onBack: view.back()
    }
}
