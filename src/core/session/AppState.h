#pragma once

#include "core/runtime/Property.h"
#include "core/runtime/Task.h"
#include "core/session/PlatformBundle.h"
#include "core/values/Values.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlune {

// The one long-lived, observable application state: the user's settings (each written to the
// store the moment it changes), the usage statistics, and the workers of a dictation session,
// which it wires together. Everything runs on the main loop.
class AppState : public std::enable_shared_from_this<AppState> {
public:
    static constexpr const char* dictionaryKey = "userDictionary";
    static constexpr const char* appStylesKey = "appWritingStyles";
    static constexpr const char* totalWordsKey = "totalWords";
    static constexpr const char* timeSavedKey = "timeSavedSeconds";
    static constexpr const char* selectedModelProviderKey = "selectedModelProvider";
    static constexpr const char* selectedHotkeyKey = "selectedHotkey";
    static constexpr const char* hasCompletedOnboardingKey = "hasCompletedOnboarding";
    static constexpr const char* selectedWritingStyleKey = "selectedWritingStyle";

    static constexpr std::chrono::milliseconds stopDelay{300};
    static constexpr std::chrono::milliseconds insertDelay{50};
    static constexpr double secondsSavedPerWord = 1.5;

    // Loads the settings, wires the workers and starts the hotkey monitor.
    static std::shared_ptr<AppState> create(PlatformBundle platform);
    ~AppState();
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // Observable state. Settings change only through the setters below.
    const Property<bool>& isRecording() const { return isRecording_; }
    const Property<std::string>& lastTranscription() const { return lastTranscription_; }
    const Property<ModelProvider>& selectedModelProvider() const { return selectedModelProvider_; }
    const Property<RecordedHotkey>& selectedHotkey() const { return selectedHotkey_; }
    const Property<std::optional<Bytes>>& profileImage() const { return profileImage_; }
    const Property<bool>& hasCompletedOnboarding() const { return hasCompletedOnboarding_; }
    const Property<int>& onboardingStep() const { return onboardingStep_; }
    const Property<WritingStyle>& selectedWritingStyle() const { return selectedWritingStyle_; }
    const Property<std::vector<std::string>>& dictionaryWords() const { return dictionaryWords_; }
    const Property<std::map<std::string, WritingStyle>>& appStyles() const { return appStyles_; }
    const Property<std::int64_t>& totalWords() const { return totalWords_; }
    const Property<double>& timeSavedSeconds() const { return timeSavedSeconds_; }

    // Property writes; each persisted setting is in the store before the call returns.
    void setSelectedModelProvider(ModelProvider provider);
    void setSelectedHotkey(const RecordedHotkey& hotkey);  // also restarts the hotkey monitor
    void setHasCompletedOnboarding(bool completed);
    void setOnboardingStep(int step);
    void setSelectedWritingStyle(WritingStyle style);
    void setDictionaryWords(std::vector<std::string> words);
    void setAppStyles(std::map<std::string, WritingStyle> styles);
    void setLastTranscription(std::string text);
    void setProfileImage(std::optional<Bytes> image);

    // Operations.
    void addDictionaryWord(const std::string& word);
    void removeDictionaryWord(const std::string& word);
    WritingStyle styleForApp(const std::string& appPath) const;
    void setStyleForApp(const std::string& appPath, WritingStyle style);
    void addWords(std::int64_t count);

    // The dictation session: hotkey press and release.
    void startDictation();
    void stopDictationAndInject();
    void setupKeyboardMonitoring();

    // The auto-dictionary's handler for a correction the tracker reported.
    void handleCorrection(const std::string& original, const std::string& corrected);
    static std::string stripTrailingPunctuation(const std::string& word);

    // Words of a cleaned text: pieces between U+0020 spaces, empty pieces dropped.
    static std::int64_t countWords(const std::string& text);

    // The profile picture: `jpeg` (a 256 x 256 JPEG made by the account page) becomes the shown
    // picture and is written to the picture file; failures to write are silent.
    void saveProfileImage(Bytes jpeg);
    // Saves the picture, then stores it in the backend as avatars/<USER-ID>/avatar.jpg.
    Task<void> uploadProfileImage(Bytes jpeg);
    const std::shared_ptr<SupabaseClient>& supabaseClient() const { return platform_.supabaseClient; }
    // The user identifier as an object path takes it: upper-case hexadecimal with hyphens.
    static std::string avatarPath(const std::string& userId);

    // The pending stop (none when no stop is pending or it has finished).
    const TaskHandle& stopTask() const { return stopTask_; }
    const PlatformBundle& platform() const { return platform_; }
    std::filesystem::path profileImageFilePath() const;

private:
    // One press that started a recording, and the tasks of that session.
    struct Recording {
        AsyncEvent started;  // set once the start task has finished (successfully or not)
    };

    explicit AppState(PlatformBundle platform);
    void start();

    void loadAppStyles();
    void saveAppStyles();
    void loadDictionary();
    void saveDictionary();
    void loadWordStats();
    void loadProfileImage();
    void setupBindings();
    void setupDiffTracker();

    Task<void> runStart(std::shared_ptr<AppState> self, std::shared_ptr<Recording> recording);
    Task<void> runStop(std::shared_ptr<AppState> self, std::optional<std::string> precedingText,
                       std::shared_ptr<Recording> recording);

    PlatformBundle platform_;
    EventLoop& loop_;
    SettingsStore& store_;

    Property<bool> isRecording_{false};
    Property<std::string> lastTranscription_;
    Property<ModelProvider> selectedModelProvider_{ModelProvider::appleFoundation};
    Property<RecordedHotkey> selectedHotkey_;
    Property<std::optional<Bytes>> profileImage_;
    Property<bool> hasCompletedOnboarding_{false};
    Property<int> onboardingStep_{0};
    Property<WritingStyle> selectedWritingStyle_{WritingStyle::casual};
    Property<std::vector<std::string>> dictionaryWords_;
    Property<std::map<std::string, WritingStyle>> appStyles_;
    Property<std::int64_t> totalWords_{0};
    Property<double> timeSavedSeconds_{0.0};

    std::vector<Subscription> cancellables_;
    TaskHandle stopTask_;

    // The recording begun by the latest starting press; a stop ends this one.
    std::shared_ptr<Recording> currentRecording_;
    // stopRecording calls still running; a new start waits until none is.
    int stopsInFlight_ = 0;
    std::optional<AsyncEvent> recorderIdle_;
};

}  // namespace parlune
