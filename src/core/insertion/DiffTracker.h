#pragma once

#include "core/insertion/TextInjector.h"
#include "core/runtime/EventLoop.h"
#include "core/runtime/Task.h"
#include "core/session/Workers.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace parlune {

// Watches the field that received an insertion for up to 30 seconds and reports, once, an inserted
// word that the user replaced by hand (original word, corrected word).
class DiffTracker final : public IDiffTracker, public std::enable_shared_from_this<DiffTracker> {
public:
    static constexpr std::chrono::milliseconds firstReadDelay{300};
    static constexpr std::chrono::milliseconds pollInterval{500};
    static constexpr std::chrono::milliseconds debounceInterval{1500};
    static constexpr std::chrono::seconds maxTrackingDuration{30};
    static constexpr std::size_t minimumWordLength = 2;

    using WordPair = std::pair<std::string, std::string>;

    static std::shared_ptr<DiffTracker> create(EventLoop& loop, std::shared_ptr<TextInjector> injector);
    ~DiffTracker() override;
    DiffTracker(const DiffTracker&) = delete;
    DiffTracker& operator=(const DiffTracker&) = delete;

    void startTracking(const std::string& injectedText, const std::string& fullExpectedText) override;
    void stopTracking() override;
    void setOnCorrectionDetected(CorrectionCallback callback) override { onCorrectionDetected_ = std::move(callback); }

    bool isTracking() const { return trackedElement_ != nullptr; }

    // Tokens: the pieces between Unicode white space and line breaks, case and punctuation kept.
    static std::vector<std::string> tokenize(const std::string& text);
    // The form in which words are compared: lower-cased, punctuation stripped from both ends.
    static std::string normalForm(const std::string& token);
    // The longest common subsequence by normal form, as tokens of `original`.
    static std::vector<std::string> longestCommonSubsequence(const std::vector<std::string>& original,
                                                             const std::vector<std::string>& edited);
    // Words replaced between two common words, paired position by position.
    static std::vector<WordPair> findCorrections(const std::vector<std::string>& original,
                                                 const std::vector<std::string>& edited);

private:
    DiffTracker(EventLoop& loop, std::shared_ptr<TextInjector> injector) : loop_(loop), injector_(std::move(injector)) {}

    static Task<void> runTracking(std::weak_ptr<DiffTracker> weakSelf, std::uint64_t generation);
    static Task<void> runDebounce(std::weak_ptr<DiffTracker> weakSelf, std::string text);
    // The start of a tracking whose first read is still to come, or that has been replaced.
    bool isCurrent(std::uint64_t generation) const { return generation == generation_ && trackedElement_; }
    void pollFieldText();
    void analyzeChanges(const std::string& currentText);

    EventLoop& loop_;
    std::shared_ptr<TextInjector> injector_;
    CorrectionCallback onCorrectionDetected_;

    std::shared_ptr<AccessibleElement> trackedElement_;
    std::string expectedText_;
    std::string injectedText_;
    std::vector<std::string> injectedWords_;
    std::string lastObservedText_;
    TaskHandle pollTask_;  // the first read, then the polling ticks
    TaskHandle debounceTask_;
    std::optional<TimePoint> trackingStartDate_;
    bool hasReportedCorrection_ = false;
    std::uint64_t generation_ = 0;
};

}  // namespace parlune
