import QtQuick

// The auto-dictionary's proposal panel.
NotchPanel {
    id: panel
    required property var suggestion
    title: "Parlune Suggestion"
    AutoDictionarySuggestionView {
        word: panel.suggestion.word
        duration: panel.suggestion.duration
        onTrash: panel.suggestion.trash()
    }
}
