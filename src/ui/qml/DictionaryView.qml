import QtQuick

// The Dictionary page: add a word with Return; remove one with its row's cross.
Item {
    id: view
    property var appState
    readonly property var pages: appState ? appState.pages : null
    signal back()

    Column {
        anchors.fill: parent
        spacing: 8
        PageHeader {
            width: parent.width
            title: "Dictionary"
            onBack: view.back()
        }
        Item {
            width: parent.width
            height: 32
            PageText {
                anchors.verticalCenter: parent.verticalCenter
                visible: entry.text.length === 0
                text: "Add new..."
                size: 16
                alpha: 0.5
            }
            TextInput {
                id: entry
                objectName: "newWordField"
                anchors.fill: parent
                verticalAlignment: TextInput.AlignVCenter
                font.family: Theme.pageFamily
                font.pixelSize: 16
                color: "black"
                clip: true
                onAccepted: {
                    view.pages.addDictionaryWord(text)
                    text = ""
                }
            }
        }
        Item {
            width: parent.width
            height: view.height - y
            clip: true
            ListView {
                objectName: "wordList"
                anchors.fill: parent
                boundsBehavior: Flickable.StopAtBounds
                model: view.pages ? view.pages.dictionaryWords : []
                delegate: DictionaryWordRow {
                    required property string modelData
                    objectName: "word:" + modelData
                    width: ListView.view.width
                    word: modelData
                    onDeleteRequested: view.pages.removeDictionaryWord(modelData)
                }
            }
            EdgeFade {}
        }
    }
}
