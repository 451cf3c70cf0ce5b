#pragma once

#include "ui/indicator/NotchPanel.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <string>

namespace parlune {

// One proposed dictionary word as the suggestion view shows it.
class Suggestion final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString word READ word CONSTANT)
    Q_PROPERTY(double duration READ duration CONSTANT)
public:
    Suggestion(QString word, double duration, std::function<void()> onTrash, QObject* parent)
        : QObject(parent), word_(std::move(word)), duration_(duration), onTrash_(std::move(onTrash)) {}
    QString word() const { return word_; }
    double duration() const { return duration_; }
    // The trash button.
    Q_INVOKABLE void trash() {
        if (onTrash_) onTrash_();
    }

private:
    QString word_;
    double duration_;
    std::function<void()> onTrash_;
};

// The auto-dictionary's proposal panel: each show() makes a fresh notch panel (the pointer does
// not hold it open) with the word, the countdown ring and the trash button.
class SuggestionPanel final : public QObject {
    Q_OBJECT
public:
    explicit SuggestionPanel(QQmlEngine& engine, QObject* parent = nullptr) : QObject(parent), engine_(engine) {}

    void show(const std::string& word, double durationSeconds, std::function<void()> onTrash);
    // Hides the panel on screen, if any.
    void hide();
    NotchPanel* current() const { return current_; }

private:
    QQmlEngine& engine_;
    QPointer<NotchPanel> current_;
};

}  // namespace parlune
