#pragma once

#include "core/apps/InstalledAppsProvider.h"
#include "core/hotkey/HotkeyRecorder.h"
#include "core/pages/OnboardingFlow.h"
#include "core/pages/SettingsPages.h"
#include "core/session/AppState.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>
#include <vector>

namespace parlune {

// What the onboarding and the main window's pages read and do, over AppState: the settings they
// show, the installed applications, the Style page's search and selection, the hotkey recorder and
// the permissions page's automatic advance. Pages keep only their transient view state in QML.
class PagesModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString selectedHotkeyName READ selectedHotkeyName NOTIFY selectedHotkeyChanged)
    Q_PROPERTY(QString tryInstruction READ tryInstruction NOTIFY selectedHotkeyChanged)
    Q_PROPERTY(QString totalWordsText READ totalWordsText NOTIFY statisticsChanged)
    Q_PROPERTY(QString minutesSavedText READ minutesSavedText NOTIFY statisticsChanged)
    Q_PROPERTY(QString selectedModelProvider READ selectedModelProvider NOTIFY selectedModelProviderChanged)
    Q_PROPERTY(QStringList dictionaryWords READ dictionaryWords NOTIFY dictionaryWordsChanged)
    Q_PROPERTY(QVariantList installedApps READ installedApps NOTIFY installedAppsChanged)
    Q_PROPERTY(QString styleSearchText READ styleSearchText NOTIFY styleSelectionChanged)
    Q_PROPERTY(QString selectedAppId READ selectedAppId NOTIFY styleSelectionChanged)
    Q_PROPERTY(QString selectedAppName READ selectedAppName NOTIFY styleSelectionChanged)
    Q_PROPERTY(QVariantList filteredApps READ filteredApps NOTIFY styleSelectionChanged)
    Q_PROPERTY(QVariantList styleChips READ styleChips NOTIFY styleSelectionChanged)
    Q_PROPERTY(QString hotkeyPrompt READ hotkeyPrompt CONSTANT)

public:
    // `recorderEvents`: the keyboard the recorder listens to; without it the recorder takes the
    // focused page's key events only.
    PagesModel(std::shared_ptr<AppState> app, std::shared_ptr<KeyboardEvents> recorderEvents, QObject* parent = nullptr);
    ~PagesModel() override;

    QString selectedHotkeyName() const;
    QString tryInstruction() const;
    QString totalWordsText() const;
    QString minutesSavedText() const;
    QString selectedModelProvider() const;
    QStringList dictionaryWords() const;
    QVariantList installedApps() const;
    QString styleSearchText() const { return QString::fromStdString(selection_.searchText()); }
    QString selectedAppId() const { return QString::fromStdString(selection_.selectedAppId().value_or(std::string())); }
    QString selectedAppName() const;
    QVariantList filteredApps() const;
    QVariantList styleChips() const;
    QString hotkeyPrompt() const { return QString::fromUtf8(HotkeyRecorder::prompt.data(), HotkeyRecorder::prompt.size()); }

    // Onboarding.
    Q_INVOKABLE void setOnboardingStep(int step);
    Q_INVOKABLE int phaseForStep(int step) const { return onboardingStepInfo(step).phase; }
    Q_INVOKABLE QString categoryName(int step) const;
    Q_INVOKABLE QString categoryPrompt(int step) const;
    Q_INVOKABLE QVariantList categoryApps(int step) const;
    Q_INVOKABLE void continueCategory(int step, const QString& style);
    Q_INVOKABLE void completeOnboarding();
    Q_INVOKABLE void restartOnboarding();
    Q_INVOKABLE bool canContinueTry(const QString& text) const;
    Q_INVOKABLE void permissionsPageShown();
    Q_INVOKABLE void permissionsPageHidden();
    Q_INVOKABLE void checkSpeechAuthorization();
    Q_INVOKABLE void requestAccessibilityPermission();

    // Installed applications: a fresh load for a page that starts.
    Q_INVOKABLE void loadApps();

    // Style page.
    Q_INVOKABLE bool setStyleSearchText(const QString& text);  // true: the box gives up the focus
    Q_INVOKABLE void tapApp(const QString& id);
    Q_INVOKABLE void chooseStyle(const QString& style);
    Q_INVOKABLE void resetStyleSelection();

    // Dictionary and preference pages.
    Q_INVOKABLE void addDictionaryWord(const QString& word);
    Q_INVOKABLE void removeDictionaryWord(const QString& word);
    Q_INVOKABLE void setSelectedModelProvider(const QString& provider);

    // The hotkey recorder, shown by a page while it records; each result is stored as the hotkey
    // and announced by hotkeyRecorded().
    Q_INVOKABLE void startHotkeyRecording();
    Q_INVOKABLE void stopHotkeyRecording();
    // The focused page's key events while recording (X key code, Qt modifiers, text).
    Q_INVOKABLE void recorderKeyPressed(int nativeScanCode, int qtModifiers, const QString& text);

    AppState& app() const { return *app_; }

signals:
    void selectedHotkeyChanged();
    void statisticsChanged();
    void selectedModelProviderChanged();
    void dictionaryWordsChanged();
    void installedAppsChanged();
    void styleSelectionChanged();
    void hotkeyRecorded();

private:
    std::shared_ptr<AppState> app_;
    EventLoop& loop_;
    std::shared_ptr<KeyboardEvents> recorderEvents_;
    std::unique_ptr<InstalledAppsProvider> provider_;
    Subscription providerSubscription_;
    StyleSelection selection_;
    PermissionsAutoAdvance permissions_;
    std::shared_ptr<HotkeyRecorder> recorder_;
    std::vector<Subscription> subscriptions_;
};

}  // namespace parlune
