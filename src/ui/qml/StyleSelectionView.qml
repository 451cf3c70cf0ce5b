import QtQuick

// The Style page: pick an installed application (by search or from the grid), then its style.
Item {
    id: view
    property var appState
    readonly property var pages: appState ? appState.pages : null
    signal back()

    Component.onCompleted: if (pages) { pages.resetStyleSelection(); pages.loadApps() }

    Column {
        anchors.fill: parent
        spacing: 8
        PageHeader {
            width: parent.width
            title: "Style"
            onBack: view.back()
        }
        Item {
            width: parent.width
            height: 32
            PageText {
                objectName: "searchPlaceholder"
                anchors.verticalCenter: parent.verticalCenter
                visible: search.text.length === 0 && !search.activeFocus
                text: view.pages && view.pages.selectedAppName !== "" ? view.pages.selectedAppName : "Search apps..."
                alpha: view.pages && view.pages.selectedAppName !== "" ? 1.0 : 0.5
                size: 16
            }
            TextInput {
                id: search
                objectName: "searchField"
                anchors.fill: parent
                verticalAlignment: TextInput.AlignVCenter
                font.family: Theme.pageFamily
                font.pixelSize: 16
                color: "black"
                clip: true
                text: view.pages ? view.pages.styleSearchText : ""
                onTextEdited: {
                    if (view.pages.setStyleSearchText(text)) search.focus = false
                }
            }
        }
        Item {
            width: parent.width
            height: view.height - y - 36 - 8
            clip: true
            Flickable {
                id: scroller
                anchors.fill: parent
                contentHeight: grid.height + 32
                boundsBehavior: Flickable.StopAtBounds
                Grid {
                    id: grid
                    objectName: "appGrid"
                    y: 16
                    width: scroller.width
                    columns: 4
                    columnSpacing: 14
                    rowSpacing: 14
                    readonly property real cell: (width - 3 * columnSpacing) / 4
                    Repeater {
                        model: view.pages ? view.pages.filteredApps : []
                        delegate: Item {
                            id: cell
                            required property var modelData
                            readonly property bool selected: view.pages && view.pages.selectedAppId === modelData.id
                            objectName: "app:" + modelData.name
                            width: grid.cell
                            height: 44
                            Item {
                                anchors.centerIn: parent
                                width: 44
                                height: 44
                                scale: cell.selected ? 1.1 : 1.0
                                Behavior on scale { NumberAnimation { duration: 200; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut } }
                                Rectangle { y: 2; width: 44; height: 44; radius: 10; color: Qt.rgba(0, 0, 0, 0.08) }
                                Rectangle {
                                    anchors.fill: parent
                                    radius: 10
                                    color: "white"
                                    clip: true
                                    Image {
                                        anchors.fill: parent
                                        source: cell.modelData.icon
                                        sourceSize: Qt.size(88, 88)
                                        fillMode: Image.PreserveAspectFit
                                    }
                                }
                                Rectangle {
                                    objectName: "selectionOutline"
                                    anchors.fill: parent
                                    radius: 10
                                    color: "transparent"
                                    border.color: "black"
                                    border.width: 2.5
                                    visible: cell.selected
                                }
                            }
                            MouseArea {
                                anchors.fill: parent
                                onClicked: view.pages.tapApp(cell.modelData.id)
                            }
                        }
                    }
                }
            }
            EdgeFade {}
        }
        StyleChips {
            objectName: "styleChips"
            anchors.horizontalCenter: parent.horizontalCenter
            chips: view.pages ? view.pages.styleChips : []
            onChosen: (style) => view.pages.chooseStyle(style)
        }
    }
}
