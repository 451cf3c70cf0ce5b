#include "ui/indicator/SuggestionPanel.h"

namespace parlune {

void SuggestionPanel::show(const std::string& word, double durationSeconds, std::function<void()> onTrash) {
    hide();
    auto* suggestion = new Suggestion(QString::fromStdString(word), durationSeconds, std::move(onTrash), this);
    auto* panel = new NotchPanel(engine_, QUrl(QStringLiteral("qrc:/qt/qml/Parlune/SuggestionPanel.qml")),
                                 {{QStringLiteral("suggestion"), QVariant::fromValue<QObject*>(suggestion)}},
                                 NotchPanel::HoverBehavior::none, this);
    suggestion->setParent(panel);
    // A panel lives until its window has slid out.
    connect(panel, &NotchPanel::windowClosed, panel, &QObject::deleteLater);
    current_ = panel;
    panel->show();
}

void SuggestionPanel::hide() {
    if (current_) current_->hide();
    current_ = nullptr;
}

}  // namespace parlune
