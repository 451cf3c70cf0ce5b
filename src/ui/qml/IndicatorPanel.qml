import QtQuick

// The recording indicator's panel.
NotchPanel {
    id: panel
    required property var controller
    title: "Parlune Indicator"
    ParluneNotchContent {
        controller: panel.controller
    }
}
