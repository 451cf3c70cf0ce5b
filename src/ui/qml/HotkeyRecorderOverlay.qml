import QtQuick

// The hotkey recorder, on screen while its page records: it covers the page, listens to the
// keyboard through the model and takes the keys typed while it has the focus.
Item {
    id: overlay
    property var pages
    anchors.fill: parent
    focus: true

    Keys.onPressed: (event) => {
        event.accepted = true
        overlay.pages.recorderKeyPressed(event.nativeScanCode, event.modifiers, event.text)
    }
    // The recorder consumes the pointer too: the page underneath waits for a key.
    MouseArea { anchors.fill: parent }
    Component.onCompleted: {
        overlay.forceActiveFocus()
        overlay.pages.startHotkeyRecording()
    }
    Component.onDestruction: overlay.pages.stopHotkeyRecording()
}
