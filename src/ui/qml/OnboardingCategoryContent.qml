import QtQuick

// One category's page: the category, up to three of its applications, the prompt, the hint and the
// style chips.
Item {
    id: content
    property var pages
    property int step: 1
    property string selectedStyle: "Standard"
    property int visibleCount: 0
    readonly property var icons: {
        const apps = content.pages ? content.pages.categoryApps(content.step) : []
        void (content.pages ? content.pages.installedApps : null)  // reload with the list
        return apps.slice(0, 3)
    }
    signal styleChosen(string style)

    function reveal() {
        visibleCount = 0
        revealTimer.restart()
    }
    Timer {
        id: revealTimer
        interval: 150
        onTriggered: content.visibleCount = content.icons.length
    }
    onIconsChanged: reveal()
    Component.onCompleted: reveal()

    Column {
        anchors.centerIn: parent
        width: parent.width
        PageText {
            objectName: "categoryName"
            anchors.horizontalCenter: parent.horizontalCenter
            height: 24
            verticalAlignment: Text.AlignVCenter
            text: content.pages ? content.pages.categoryName(content.step) : ""
            size: 20
            alpha: 0.4
        }
        Item {
            width: parent.width
            height: 52 + 32
            Row {
                objectName: "categoryIcons"
                anchors.centerIn: parent
                spacing: 20
                Repeater {
                    model: content.icons
                    delegate: Item {
                        id: icon
                        required property var modelData
                        required property int index
                        readonly property bool shown: index < content.visibleCount
                        width: 52
                        height: 52
                        opacity: shown ? 1 : 0
                        scale: shown ? 1 : 0.6
                        Behavior on opacity {
                            SequentialAnimation {
                                PauseAnimation { duration: icon.index * 80 }
                                SpringAnimation { spring: 4.0; damping: 0.35; epsilon: 0.01 }
                            }
                        }
                        Behavior on scale {
                            SequentialAnimation {
                                PauseAnimation { duration: icon.index * 80 }
                                SpringAnimation { spring: 4.0; damping: 0.35; epsilon: 0.005 }
                            }
                        }
                        Rectangle {  // the shadow: black at 8 %, offset (0, 2)
                            x: 0
                            y: 2
                            width: 52
                            height: 52
                            radius: 12
                            color: Qt.rgba(0, 0, 0, 0.08)
                        }
                        Rectangle {
                            anchors.fill: parent
                            radius: 12
                            color: "white"
                            clip: true
                            Image {
                                anchors.fill: parent
                                source: icon.modelData.icon
                                sourceSize: Qt.size(104, 104)
                                fillMode: Image.PreserveAspectFit
                            }
                        }
                    }
                }
            }
        }
        PageText {
            objectName: "categoryPrompt"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            topPadding: 8
            height: 48 + 8
            verticalAlignment: Text.AlignTop
            text: content.pages ? content.pages.categoryPrompt(content.step) : ""
            size: 20
        }
        PageText {
            anchors.horizontalCenter: parent.horizontalCenter
            topPadding: 12
            height: 16 + 12
            text: "You can come back to this later."
            size: 13
            alpha: 0.35
        }
        Item { width: 1; height: 8 }
        StyleChips {
            anchors.horizontalCenter: parent.horizontalCenter
            chips: ["Casual", "Standard", "Formal"].map(name => ({ name: name, enabled: true, selected: name === content.selectedStyle }))
            onChosen: (style) => content.styleChosen(style)
        }
    }
}
