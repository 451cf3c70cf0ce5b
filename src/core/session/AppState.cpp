#include "core/session/AppState.h"

#include "core/log/Log.h"
#include "core/text/Text.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

namespace parlune {

std::shared_ptr<AppState> AppState::create(PlatformBundle platform) {
    std::shared_ptr<AppState> state(new AppState(std::move(platform)));
    state->start();
    return state;
}

// Start-up, steps that need no reference to the finished object: initial values, the workers,
// and the stored settings.
AppState::AppState(PlatformBundle platform)
    : platform_(std::move(platform)),
      loop_(*platform_.loop),
      store_(*platform_.store),
      selectedHotkey_(platform_.defaultHotkey) {
    if (auto raw = store_.string(selectedModelProviderKey)) {
        if (auto provider = modelProviderFromRaw(*raw)) selectedModelProvider_.set(*provider);
    }

    if (auto data = store_.data(selectedHotkeyKey)) {
        const std::string json(data->begin(), data->end());
        if (auto hotkey = RecordedHotkey::decode(json)) selectedHotkey_.set(*hotkey);
    }

    hasCompletedOnboarding_.set(store_.boolean(hasCompletedOnboardingKey));

    if (auto raw = store_.string(selectedWritingStyleKey)) {
        if (auto style = writingStyleFromRaw(*raw)) setSelectedWritingStyle(*style);
    }

    loadAppStyles();
    loadDictionary();
    loadWordStats();
    loadProfileImage();
}

void AppState::start() {
    setupBindings();
    setupKeyboardMonitoring();
    setupDiffTracker();
}

AppState::~AppState() = default;

// ---- Property writes -------------------------------------------------------------------------

void AppState::setSelectedModelProvider(ModelProvider provider) {
    store_.setString(selectedModelProviderKey, std::string(rawValue(provider)));
    selectedModelProvider_.set(provider);
}

void AppState::setSelectedHotkey(const RecordedHotkey& hotkey) {
    const std::string json = hotkey.encode();
    store_.setData(selectedHotkeyKey, Bytes(json.begin(), json.end()));
    selectedHotkey_.set(hotkey);
    platform_.keyboardMonitor->stopMonitoring();
    setupKeyboardMonitoring();
}

void AppState::setHasCompletedOnboarding(bool completed) {
    store_.setBoolean(hasCompletedOnboardingKey, completed);
    hasCompletedOnboarding_.set(completed);
}

void AppState::setOnboardingStep(int step) { onboardingStep_.set(step); }

void AppState::setSelectedWritingStyle(WritingStyle style) {
    store_.setString(selectedWritingStyleKey, std::string(rawValue(style)));
    selectedWritingStyle_.set(style);
}

void AppState::setDictionaryWords(std::vector<std::string> words) {
    dictionaryWords_.set(std::move(words));
    saveDictionary();
}

void AppState::setAppStyles(std::map<std::string, WritingStyle> styles) {
    appStyles_.set(std::move(styles));
    saveAppStyles();
}

void AppState::setLastTranscription(std::string text) { lastTranscription_.set(std::move(text)); }

void AppState::setProfileImage(std::optional<Bytes> image) { profileImage_.set(std::move(image)); }

// ---- Loading and saving ----------------------------------------------------------------------

void AppState::loadAppStyles() {
    auto stored = store_.dictionary(appStylesKey);
    if (!stored) return;
    std::map<std::string, WritingStyle> styles;
    for (const auto& [path, value] : *stored) {
        if (!value.is_string()) return;  // a map with a non-string value is ignored whole
        if (auto style = writingStyleFromRaw(value.get<std::string>())) styles.emplace(path, *style);
    }
    setAppStyles(std::move(styles));
}

void AppState::saveAppStyles() {
    std::map<std::string, nlohmann::json> raw;
    for (const auto& [path, style] : appStyles_.get()) raw.emplace(path, std::string(rawValue(style)));
    store_.setDictionary(appStylesKey, raw);
}

void AppState::loadDictionary() { setDictionaryWords(store_.stringArray(dictionaryKey).value_or(std::vector<std::string>{})); }

void AppState::saveDictionary() { store_.setStringArray(dictionaryKey, dictionaryWords_.get()); }

void AppState::loadWordStats() {
    totalWords_.set(store_.integer(totalWordsKey).value_or(0));
    timeSavedSeconds_.set(store_.real(timeSavedKey).value_or(0.0));
}

std::filesystem::path AppState::profileImageFilePath() const {
    return platform_.applicationSupportFolder / "parlune-macos" / "profile_image.jpg";
}

void AppState::loadProfileImage() {
    if (platform_.applicationSupportFolder.empty()) return;
    const auto path = profileImageFilePath();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return;
    std::ifstream file(path, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.bad() && !bytes.empty()) profileImage_.set(std::move(bytes));
}

void AppState::saveProfileImage(Bytes jpeg) {
    if (jpeg.empty()) return;
    profileImage_.set(jpeg);
    if (platform_.applicationSupportFolder.empty()) return;
    const auto path = profileImageFilePath();
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    // Written beside the file and renamed over it, so a failed write leaves the old picture.
    auto temporary = path;
    temporary += ".partial";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
        if (!file.good()) {
            file.close();
            std::filesystem::remove(temporary, error);
            return;
        }
    }
    std::filesystem::rename(temporary, path, error);
    if (error) std::filesystem::remove(temporary, error);
}

std::string AppState::avatarPath(const std::string& userId) { return toUpper(userId) + "/avatar.jpg"; }

Task<void> AppState::uploadProfileImage(Bytes jpeg) {
    saveProfileImage(jpeg);
    if (jpeg.empty()) co_return;
    const auto client = platform_.supabaseClient;
    if (!client) {
        log::line("⚠️ Failed to upload profile image: no backend is configured");
        co_return;
    }
    const auto session = co_await client->session();
    if (!session) {
        log::line("⚠️ Failed to upload profile image: " + session.error);
        co_return;
    }
    UploadOptions options;
    options.cacheControl = "3600";
    options.contentType = "image/jpeg";
    options.upsert = true;
    const auto uploaded = co_await client->upload("avatars", avatarPath(session.value->user.id),
                                                  std::string(jpeg.begin(), jpeg.end()), options);
    if (uploaded) {
        log::line("✅ Profile image uploaded to Supabase Storage");
    } else {
        log::line("⚠️ Failed to upload profile image: " + uploaded.error);
    }
}

void AppState::setupBindings() {
    cancellables_.push_back(bindAsync(loop_, platform_.dictationManager->isRecording(),
                                      weakly(shared_from_this(), [](AppState& self, bool recording) {
                                          self.isRecording_.set(recording);
                                      })));
}

void AppState::setupDiffTracker() {
    platform_.diffTracker->setOnCorrectionDetected(
        weakly(shared_from_this(), [](AppState& self, const std::string& original, const std::string& corrected) {
            self.handleCorrection(original, corrected);
        }));
}

// ---- Operations ------------------------------------------------------------------------------

void AppState::addDictionaryWord(const std::string& word) {
    std::string trimmed = trimWhitespaceAndNewlines(word);
    if (trimmed.empty()) return;
    const auto& words = dictionaryWords_.get();
    if (std::find(words.begin(), words.end(), trimmed) != words.end()) return;
    std::vector<std::string> updated;
    updated.reserve(words.size() + 1);
    updated.push_back(std::move(trimmed));
    updated.insert(updated.end(), words.begin(), words.end());
    setDictionaryWords(std::move(updated));
}

void AppState::removeDictionaryWord(const std::string& word) {
    std::vector<std::string> updated = dictionaryWords_.get();
    std::erase(updated, word);
    setDictionaryWords(std::move(updated));
}

WritingStyle AppState::styleForApp(const std::string& appPath) const {
    const auto& styles = appStyles_.get();
    auto found = styles.find(appPath);
    return found != styles.end() ? found->second : selectedWritingStyle_.get();
}

void AppState::setStyleForApp(const std::string& appPath, WritingStyle style) {
    auto styles = appStyles_.get();
    styles[appPath] = style;
    setAppStyles(std::move(styles));
}

void AppState::addWords(std::int64_t count) {
    totalWords_.set(totalWords_.get() + count);
    timeSavedSeconds_.set(timeSavedSeconds_.get() + static_cast<double>(count) * secondsSavedPerWord);
    store_.setInteger(totalWordsKey, totalWords_.get());
    store_.setReal(timeSavedKey, timeSavedSeconds_.get());
}

std::int64_t AppState::countWords(const std::string& text) {
    std::int64_t count = 0;
    bool inWord = false;
    for (char c : text) {
        if (c == ' ') {
            inWord = false;
        } else if (!inWord) {
            inWord = true;
            ++count;
        }
    }
    return count;
}

// ---- Auto-dictionary handler -----------------------------------------------------------------

std::string AppState::stripTrailingPunctuation(const std::string& word) {
    auto points = codePoints(word);
    auto isStripped = [](char32_t c) {
        return isUnicodePunctuation(c) || c == U',' || c == U'.' || c == U';' || c == U':' || c == U'!' || c == U'?';
    };
    while (!points.empty() && isStripped(points.back())) points.pop_back();
    std::string result;
    for (char32_t c : points) result += fromCodePoint(c);
    return result;
}

void AppState::handleCorrection(const std::string& original, const std::string& corrected) {
    const std::string word = stripTrailingPunctuation(corrected);
    if (word.empty()) return;
    log::line("📖 Auto-dictionary: '" + original + "' -> '" + word + "'");
    if (platform_.spellChecker && platform_.spellChecker->isKnownEnglishWord(word)) {
        log::line("📖 Auto-dictionary: '" + word + "' is a known English word, skipping");
        return;
    }
    platform_.autoDictionaryNotifier->suggest(word, [weakSelf = weak_from_this(), word] {
        if (auto self = weakSelf.lock()) self->addDictionaryWord(word);
        log::line("📖 Auto-dictionary: added '" + word + "' to dictionary");
    });
}

// ---- The dictation session -------------------------------------------------------------------

void AppState::setupKeyboardMonitoring() {
    auto& monitor = *platform_.keyboardMonitor;
    if (!monitor.hasAccessibilityPermission()) monitor.requestAccessibilityPermission();
    // The reports only schedule the session's work as new jobs on the loop.
    auto schedule = [this](void (AppState::*operation)()) {
        return [weakSelf = weak_from_this(), loop = &loop_, operation] {
            loop->post([weakSelf, operation] {
                if (auto self = weakSelf.lock()) ((*self).*operation)();
            });
        };
    };
    monitor.setOnKeyDown(schedule(&AppState::startDictation));
    monitor.setOnKeyUp(schedule(&AppState::stopDictationAndInject));
    monitor.startMonitoring(selectedHotkey_.get());
}

void AppState::startDictation() {
    if (stopTask_ && !stopTask_.isCancelled()) {
        log::line("🎙️ Hotkey down — cancelling pending stop, keeping session alive");
        stopTask_.cancel();
        stopTask_ = TaskHandle();
        platform_.statusIndicator->show();
        return;
    }
    log::line("🎙️ Hotkey down — starting dictation");
    platform_.diffTracker->stopTracking();
    platform_.autoDictionaryNotifier->dismiss();
    platform_.statusIndicator->show();
    currentRecording_ = std::make_shared<Recording>();
    spawn(loop_, runStart(shared_from_this(), currentRecording_));
}

// `self` keeps AppState alive for as long as the task runs.
Task<void> AppState::runStart([[maybe_unused]] std::shared_ptr<AppState> self, std::shared_ptr<Recording> recording) {
    // A recorder that an earlier session is still stopping must be down before this one starts.
    while (stopsInFlight_ > 0 && recorderIdle_) {
        AsyncEvent idle = *recorderIdle_;
        co_await idle;
    }
    co_await platform_.mediaController->pauseIfPlaying();
    co_await platform_.dictationManager->startRecording(dictionaryWords_.get());
    if (auto error = platform_.dictationManager->errorMessage()) {
        log::line("❌ Dictation start error: " + *error);
    }
    recording->started.resolve(Done{});
}

void AppState::stopDictationAndInject() {
    log::line("🎙️ Hotkey up — stopping dictation");
    platform_.statusIndicator->hide();
    std::optional<std::string> precedingText = platform_.textInjector->readPrecedingText();
    log::line("📋 Preceding field text: " + (precedingText ? lastCharacters(*precedingText, 80) : std::string("nil")));
    stopTask_ = spawn(loop_, runStop(shared_from_this(), std::move(precedingText), currentRecording_));
}

// `self` keeps AppState alive for as long as the task runs.
Task<void> AppState::runStop([[maybe_unused]] std::shared_ptr<AppState> self, std::optional<std::string> precedingText,
                             std::shared_ptr<Recording> recording) {
    const TaskContext task = co_await thisTask();
    if (!co_await sleepFor(stopDelay)) co_return;

    // The start of this session may still be waiting for the media pause: let it begin its
    // recording first, so that this stop ends that recording rather than finding nothing.
    if (recording && !recording->started.isResolved()) co_await recording->started;

    ++stopsInFlight_;
    if (!recorderIdle_ || recorderIdle_->isResolved()) recorderIdle_.emplace();
    const std::string rawTranscript = co_await platform_.dictationManager->stopRecording();
    if (--stopsInFlight_ == 0) recorderIdle_->resolve(Done{});

    log::line("📝 Raw transcription (" + std::to_string(characterCount(rawTranscript)) +
              " chars): " + rawTranscript);
    if (task.isCancelled()) co_return;

    if (rawTranscript.empty()) {
        log::line("⚠️ No transcription captured — nothing to inject");
        platform_.mediaController->resumeIfNeeded();
        stopTask_ = TaskHandle();
        co_return;
    }

    const auto frontmostPath = platform_.workspace->frontmostApplicationPath();
    const WritingStyle style = frontmostPath ? styleForApp(*frontmostPath) : selectedWritingStyle_.get();
    const ModelProvider provider = selectedModelProvider_.get();
    std::vector<std::string> words = dictionaryWords_.get();

    std::string cleaned =
        co_await platform_.textProcessor->processText(rawTranscript, provider, style, std::move(words), precedingText);

    setLastTranscription(cleaned);
    addWords(countWords(cleaned));
    log::line("💉 Injecting processed text (" + std::to_string(characterCount(cleaned)) + " chars)");

    if (!co_await sleepFor(insertDelay)) co_return;

    platform_.textInjector->injectTextViaPasteboard(cleaned);
    platform_.diffTracker->startTracking(cleaned, precedingText.value_or(std::string()) + cleaned);
    platform_.mediaController->resumeIfNeeded();
    stopTask_ = TaskHandle();
}

}  // namespace parlune
