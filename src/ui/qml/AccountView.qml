import QtQuick
import QtQuick.Controls.Basic

// The account page: the header, the avatar (the picture, or the initials, or a person symbol; a
// camera while hovered, a spinner while uploading), the name, the e-mail address, "Log Out" and
// "Delete Account".
Item {
    id: view
    property var appState
    signal back()
    readonly property var page: appState ? appState.makeAccountPage(view) : null
    property bool isHoveringAvatar: false
    property bool confirmingDelete: false

    Component.onCompleted: if (page) page.loadUserData()

    Column {
        anchors.fill: parent
        spacing: 0
        PageHeader {
            objectName: "accountHeader"
            width: parent.width
            title: "Account"
            onBack: view.back()
        }
        Column {
            width: parent.width
            spacing: 16
            Item {
                id: avatar
                objectName: "avatar"
                anchors.horizontalCenter: parent.horizontalCenter
                width: 72
                height: 72
                readonly property bool hasPicture: view.page ? view.page.hasProfileImage : false

                Image {
                    objectName: "avatarPicture"
                    anchors.fill: parent
                    visible: avatar.hasPicture
                    source: avatar.hasPicture ? view.page.profileImageSource : ""
                    sourceSize: Qt.size(144, 144)
                    fillMode: Image.PreserveAspectCrop
                    cache: false
                    smooth: true
                }
                Rectangle {
                    objectName: "avatarPlaceholder"
                    anchors.fill: parent
                    visible: !avatar.hasPicture
                    radius: width / 2
                    color: Qt.rgba(0, 0, 0, 0.08)
                    PageText {
                        objectName: "avatarInitials"
                        anchors.centerIn: parent
                        visible: view.page ? view.page.initials !== "" : false
                        text: view.page ? view.page.initials : ""
                        size: 16
                        alpha: 0.5
                    }
                    Image {
                        objectName: "avatarPerson"
                        anchors.centerIn: parent
                        visible: view.page ? view.page.initials === "" : true
                        source: "images/person.fill.svg"
                        sourceSize: Qt.size(16, 16)
                        opacity: 0.3
                    }
                }
                Rectangle {
                    objectName: "avatarHover"
                    anchors.fill: parent
                    radius: width / 2
                    color: Qt.rgba(0, 0, 0, 0.4)
                    opacity: view.isHoveringAvatar && !(view.page && view.page.isUploading) ? 1 : 0
                    visible: opacity > 0
                    Behavior on opacity { NumberAnimation { duration: 150; easing.type: Easing.InOutQuad } }
                    Image {
                        anchors.centerIn: parent
                        source: "images/camera.fill.svg"
                        sourceSize: Qt.size(16, 16)
                    }
                }
                Rectangle {
                    objectName: "avatarUploading"
                    anchors.fill: parent
                    radius: width / 2
                    color: Qt.rgba(0, 0, 0, 0.4)
                    visible: view.page ? view.page.isUploading : false
                    BusyIndicator {
                        anchors.centerIn: parent
                        running: parent.visible
                        width: 32
                        height: 32
                        scale: 0.8
                        palette.dark: "white"
                    }
                }
                MouseArea {
                    objectName: "avatarButton"
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onEntered: view.isHoveringAvatar = true
                    onExited: view.isHoveringAvatar = false
                    onClicked: view.page.pickProfileImage()
                }
            }
            Item {
                objectName: "nameRow"
                width: parent.width
                height: (view.page && view.page.isLoading ? 32 * 0.8 : name.implicitHeight) + 16
                BusyIndicator {
                    objectName: "nameLoading"
                    anchors.centerIn: parent
                    visible: view.page ? view.page.isLoading : true
                    running: visible
                    width: 32
                    height: 32
                    scale: 0.8
                }
                PageText {
                    id: name
                    objectName: "userName"
                    anchors.centerIn: parent
                    visible: view.page ? !view.page.isLoading : false
                    text: view.page && view.page.userName !== "" ? view.page.userName : "No name"
                    size: 16
                }
            }
            PageText {
                objectName: "userEmail"
                anchors.horizontalCenter: parent.horizontalCenter
                visible: view.page ? !view.page.isLoading && view.page.userEmail !== "" : false
                text: view.page ? view.page.userEmail : ""
                size: 14
                alpha: 0.6
                bottomPadding: 4
            }
            Column {
                width: parent.width
                SettingsRowButton {
                    objectName: "logOutButton"
                    width: parent.width
                    implicitHeight: 48
                    alignment: Text.AlignHCenter
                    text: "Log Out"
                    onClicked: view.page.logOut()
                }
                SettingsRowButton {
                    objectName: "deleteAccountButton"
                    width: parent.width
                    implicitHeight: 48
                    alignment: Text.AlignHCenter
                    text: "Delete Account"
                    textColor: Qt.rgba(1, 0.231, 0.188, 0.8)
                    onClicked: view.confirmingDelete = true
                }
            }
        }
    }

    // Deleting is done on the web account page: the publishable key of this program cannot.
    Rectangle {
        objectName: "deleteConfirmation"
        anchors.fill: parent
        visible: view.confirmingDelete
        color: Qt.rgba(1, 1, 1, 0.96)
        MouseArea { anchors.fill: parent }
        Column {
            anchors.centerIn: parent
            width: parent.width - 20
            spacing: 12
            PageText {
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                text: "Delete your account?"
                size: 16
            }
            PageText {
                objectName: "deleteExplanation"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                text: view.page && view.page.canOpenAccountWebPage
                      ? "Accounts are deleted on the web account page, with everything stored for them. Open it in your browser?"
                      : "Accounts are deleted on the web account page, with everything stored for them."
                size: 13
                alpha: 0.6
            }
            SettingsRowButton {
                objectName: "openAccountPageButton"
                width: parent.width
                visible: view.page ? view.page.canOpenAccountWebPage : false
                alignment: Text.AlignHCenter
                text: "Open Account Page"
                textColor: Qt.rgba(1, 0.231, 0.188, 0.8)
                onClicked: { view.page.openAccountWebPage(); view.confirmingDelete = false }
            }
            SettingsRowButton {
                objectName: "cancelDeleteButton"
                width: parent.width
                alignment: Text.AlignHCenter
                text: "Cancel"
                onClicked: view.confirmingDelete = false
            }
        }
    }
}
