import QtQuick

// The window's dark, slightly translucent backdrop (translucent where the desktop composites).
Rectangle {
    color: Theme.hudBackground
    radius: 10
}
