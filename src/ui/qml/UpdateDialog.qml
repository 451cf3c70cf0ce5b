import QtQuick
import QtQuick.Window

// The answer of a user-initiated update check.
Window {
    id: dialog
    // "checking", "upToDate", "available" or "failed"
    property string state: "checking"
    property string currentVersion
    property string newVersion
    property string downloadUrl
    property string errorText
    title: "Software Update"
    flags: Qt.Dialog
    color: Theme.panelBackground
    width: 340
    height: column.implicitHeight + 40
    minimumWidth: width
    maximumWidth: width
    minimumHeight: height
    maximumHeight: height

    Column {
        id: column
        x: 20
        y: 20
        width: parent.width - 40
        spacing: 10
        Text {
            objectName: "heading"
            width: parent.width
            wrapMode: Text.Wrap
            color: Theme.primaryText
            font.family: Theme.family
            font.pixelSize: 15
            font.weight: Font.DemiBold
            text: dialog.state === "checking" ? "Checking for updates…"
                : dialog.state === "upToDate" ? "You’re up to date"
                : dialog.state === "available" ? "A new version of Parlune is available"
                : "Could not check for updates"
        }
        Text {
            objectName: "message"
            visible: dialog.state !== "checking"
            width: parent.width
            wrapMode: Text.Wrap
            color: Theme.secondaryText
            font.family: Theme.family
            font.pixelSize: Theme.bodySize
            text: dialog.state === "upToDate" ? "Parlune " + dialog.currentVersion + " is the newest version."
                : dialog.state === "available" ? "Parlune " + dialog.newVersion + " is out; you have " + dialog.currentVersion + "."
                : dialog.errorText
        }
        Row {
            spacing: 20
            PlainButton {
                objectName: "downloadButton"
                visible: dialog.state === "available" && dialog.downloadUrl !== ""
                text: "Download…"
                onClicked: Qt.openUrlExternally(dialog.downloadUrl)
            }
            PlainButton {
                text: "OK"
                onClicked: dialog.close()
            }
        }
    }
}
