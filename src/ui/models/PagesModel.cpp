#include "ui/models/PagesModel.h"

#include "core/log/Log.h"
#include "core/values/KeyNames.h"
#include "linux/hotkey/X11Keys.h"

#include <QVariantMap>

namespace parlune {

namespace {

QString qt(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QVariantMap appEntry(const InstalledApp& installed) {
    return {{QStringLiteral("id"), qt(installed.id)},
            {QStringLiteral("name"), qt(installed.name)},
            {QStringLiteral("icon"), installed.icon.empty() ? QString() : QStringLiteral("file://") + qt(installed.icon)}};
}

QVariantList appEntries(const std::vector<InstalledApp>& apps) {
    QVariantList entries;
    for (const auto& installed : apps) entries.push_back(appEntry(installed));
    return entries;
}

std::uint64_t modifierWord(int qtModifiers) {
    std::uint64_t word = 0;
    if ((qtModifiers & Qt::ShiftModifier) != 0) word |= ModifierFlag::shift;
    if ((qtModifiers & Qt::ControlModifier) != 0) word |= ModifierFlag::control;
    if ((qtModifiers & Qt::AltModifier) != 0) word |= ModifierFlag::option;
    if ((qtModifiers & Qt::MetaModifier) != 0) word |= ModifierFlag::command;
    return word;
}

}  // namespace

PagesModel::PagesModel(std::shared_ptr<AppState> app, std::shared_ptr<KeyboardEvents> recorderEvents, QObject* parent)
    : QObject(parent),
      app_(std::move(app)),
      loop_(*app_->platform().loop),
      recorderEvents_(std::move(recorderEvents)),
      permissions_(loop_, app_),
      recorder_(HotkeyRecorder::create(loop_, recorderEvents_)) {
    auto& state = *app_;
    subscriptions_.push_back(state.selectedHotkey().observe([this](const RecordedHotkey&) { emit selectedHotkeyChanged(); }));
    subscriptions_.push_back(state.totalWords().observe([this](std::int64_t) { emit statisticsChanged(); }));
    subscriptions_.push_back(state.timeSavedSeconds().observe([this](double) { emit statisticsChanged(); }));
    subscriptions_.push_back(state.selectedModelProvider().observe([this](ModelProvider) { emit selectedModelProviderChanged(); }));
    subscriptions_.push_back(state.dictionaryWords().observe([this](const std::vector<std::string>&) { emit dictionaryWordsChanged(); }));
    subscriptions_.push_back(state.appStyles().observe([this](const auto&) { emit styleSelectionChanged(); }));
    subscriptions_.push_back(state.selectedWritingStyle().observe([this](WritingStyle) { emit styleSelectionChanged(); }));
    recorder_->setOnRecord([this](const RecordedHotkey& hotkey) {
        app_->setSelectedHotkey(hotkey);
        emit hotkeyRecorded();
    });
}

PagesModel::~PagesModel() { recorder_->setOnRecord({}); }

QString PagesModel::selectedHotkeyName() const { return qt(app_->selectedHotkey().get().displayName); }
QString PagesModel::tryInstruction() const { return qt(tryShortcutInstruction(app_->selectedHotkey().get())); }
QString PagesModel::totalWordsText() const { return qt(totalWordsLine(app_->totalWords().get())); }
QString PagesModel::minutesSavedText() const { return qt(minutesSavedLine(app_->timeSavedSeconds().get())); }
QString PagesModel::selectedModelProvider() const { return qt(rawValue(app_->selectedModelProvider().get())); }

QStringList PagesModel::dictionaryWords() const {
    QStringList words;
    for (const auto& word : app_->dictionaryWords().get()) words.push_back(qt(word));
    return words;
}

QVariantList PagesModel::installedApps() const { return provider_ ? appEntries(provider_->apps().get()) : QVariantList(); }

QString PagesModel::selectedAppName() const {
    if (!provider_ || !selection_.selectedAppId()) return {};
    for (const auto& installed : provider_->apps().get()) {
        if (installed.id == *selection_.selectedAppId()) return qt(installed.name);
    }
    return {};
}

QVariantList PagesModel::filteredApps() const {
    return provider_ ? appEntries(filterApps(provider_->apps().get(), selection_.searchText())) : QVariantList();
}

QVariantList PagesModel::styleChips() const {
    QVariantList chips;
    for (const auto& chip : selection_.chips(*app_)) {
        chips.push_back(QVariantMap{{QStringLiteral("name"), qt(rawValue(chip.style))},
                                    {QStringLiteral("enabled"), chip.enabled},
                                    {QStringLiteral("selected"), chip.selected}});
    }
    return chips;
}

void PagesModel::setOnboardingStep(int step) { app_->setOnboardingStep(step); }
QString PagesModel::categoryName(int step) const { return qt(rawValue(categoryForStep(step))); }
QString PagesModel::categoryPrompt(int step) const { return qt(parlune::categoryPrompt(categoryForStep(step))); }

QVariantList PagesModel::categoryApps(int step) const {
    return provider_ ? appEntries(provider_->apps(categoryForStep(step))) : QVariantList();
}

void PagesModel::continueCategory(int step, const QString& style) {
    const auto chosen = writingStyleFromRaw(style.toStdString()).value_or(WritingStyle::standard);
    parlune::continueCategory(*app_, provider_ ? provider_->apps(categoryForStep(step)) : std::vector<InstalledApp>{}, chosen);
}

void PagesModel::completeOnboarding() { parlune::completeOnboarding(*app_); }

void PagesModel::restartOnboarding() {
    app_->setHasCompletedOnboarding(false);
    app_->setOnboardingStep(0);
}

bool PagesModel::canContinueTry(const QString& text) const { return parlune::canContinueTry(text.toStdString()); }
void PagesModel::permissionsPageShown() { permissions_.appeared(); }
void PagesModel::permissionsPageHidden() { permissions_.disappeared(); }
void PagesModel::checkSpeechAuthorization() { app_->platform().dictationManager->checkAuthorizationStatus(); }
void PagesModel::requestAccessibilityPermission() { app_->platform().keyboardMonitor->requestAccessibilityPermission(); }

void PagesModel::loadApps() {
    const auto& scanner = app_->platform().applicationScanner;
    if (!scanner) {
        log::line("⚠️ No application scanner: the application list stays empty");
        return;
    }
    providerSubscription_ = {};
    provider_ = std::make_unique<InstalledAppsProvider>(loop_, scanner);
    providerSubscription_ = provider_->apps().observe([this](const auto&) {
        emit installedAppsChanged();
        emit styleSelectionChanged();
    });
    provider_->loadApps();
    emit installedAppsChanged();
    emit styleSelectionChanged();
}

bool PagesModel::setStyleSearchText(const QString& text) {
    const bool matched =
        selection_.setSearchText(text.toStdString(), provider_ ? provider_->apps().get() : std::vector<InstalledApp>{});
    emit styleSelectionChanged();
    return matched;
}

void PagesModel::tapApp(const QString& id) {
    selection_.tapApp(id.toStdString());
    emit styleSelectionChanged();
}

void PagesModel::chooseStyle(const QString& style) {
    if (auto chosen = writingStyleFromRaw(style.toStdString())) selection_.chooseStyle(*app_, *chosen);
}

void PagesModel::resetStyleSelection() {
    selection_ = StyleSelection();
    emit styleSelectionChanged();
}

void PagesModel::addDictionaryWord(const QString& word) { app_->addDictionaryWord(word.toStdString()); }
void PagesModel::removeDictionaryWord(const QString& word) { app_->removeDictionaryWord(word.toStdString()); }

void PagesModel::setSelectedModelProvider(const QString& provider) {
    if (auto chosen = modelProviderFromRaw(provider.toStdString())) app_->setSelectedModelProvider(*chosen);
}

void PagesModel::startHotkeyRecording() {
    if (recorderEvents_) recorder_->startRecordingTap();
}

void PagesModel::stopHotkeyRecording() { recorder_->stopRecordingTap(); }

void PagesModel::recorderKeyPressed(int nativeScanCode, int qtModifiers, const QString& text) {
    const auto keyCode = x11keys::macKeyCode(static_cast<unsigned>(nativeScanCode));
    if (!keyCode) return;
    const auto modifiers = modifierWord(qtModifiers);
    if (isModifierKeyCode(*keyCode)) {
        if (auto bit = modifierFlag(*keyCode)) recorder_->flagsChanged(*keyCode, modifiers | *bit);
        return;
    }
    recorder_->keyDown(*keyCode, modifiers, text.isEmpty() ? std::nullopt : std::optional<std::string>(text.toStdString()));
}

}  // namespace parlune
