#include "core/insertion/DiffTracker.h"

#include "core/log/Log.h"
#include "core/text/Text.h"

#include <algorithm>

namespace parlune {

std::shared_ptr<DiffTracker> DiffTracker::create(EventLoop& loop, std::shared_ptr<TextInjector> injector) {
    return std::shared_ptr<DiffTracker>(new DiffTracker(loop, std::move(injector)));
}

DiffTracker::~DiffTracker() {
    pollTask_.cancel();
    debounceTask_.cancel();
}

void DiffTracker::startTracking(const std::string& injectedText, const std::string& fullExpectedText) {
    stopTracking();
    auto element = injector_->getFocusedElement();
    if (!element) {
        log::line("📖 DiffTracker: no focused element, skipping");
        return;
    }
    trackedElement_ = std::move(element);
    injectedText_ = injectedText;
    expectedText_ = fullExpectedText;
    injectedWords_ = tokenize(injectedText);
    trackingStartDate_ = loop_.now();
    hasReportedCorrection_ = false;
    pollTask_ = spawn(loop_, runTracking(weak_from_this(), ++generation_));
}

void DiffTracker::stopTracking() {
    pollTask_.cancel();
    pollTask_ = TaskHandle();
    debounceTask_.cancel();
    debounceTask_ = TaskHandle();
    trackedElement_.reset();
    injectedText_.clear();
    expectedText_.clear();
    lastObservedText_.clear();
    injectedWords_.clear();
    hasReportedCorrection_ = false;
    ++generation_;
}

Task<void> DiffTracker::runTracking(std::weak_ptr<DiffTracker> weakSelf, std::uint64_t generation) {
    if (!co_await sleepFor(firstReadDelay)) co_return;
    {
        auto self = weakSelf.lock();
        if (!self || !self->isCurrent(generation)) co_return;
        auto text = self->injector_->readText(*self->trackedElement_);
        self->lastObservedText_ = text ? std::move(*text) : self->expectedText_;
        log::line("📖 DiffTracker: started (injected " + std::to_string(self->injectedWords_.size()) + " words)");
    }
    while (co_await sleepFor(pollInterval)) {
        auto self = weakSelf.lock();
        if (!self || !self->isCurrent(generation)) co_return;
        self->pollFieldText();
    }
}

void DiffTracker::pollFieldText() {
    if (!trackedElement_) return;
    if (trackingStartDate_ && loop_.now() - *trackingStartDate_ > maxTrackingDuration) {
        log::line("📖 DiffTracker: max duration reached, stopping");
        stopTracking();
        return;
    }
    auto text = injector_->readText(*trackedElement_);
    if (!text) {
        log::line("📖 DiffTracker: element no longer readable, stopping");
        stopTracking();
        return;
    }
    if (*text == lastObservedText_) return;
    lastObservedText_ = *text;
    debounceTask_.cancel();
    debounceTask_ = spawn(loop_, runDebounce(weak_from_this(), std::move(*text)));
}

Task<void> DiffTracker::runDebounce(std::weak_ptr<DiffTracker> weakSelf, std::string text) {
    const TaskContext task = co_await thisTask();
    if (!co_await sleepFor(debounceInterval) || task.isCancelled()) co_return;
    if (auto self = weakSelf.lock()) self->analyzeChanges(text);
}

void DiffTracker::analyzeChanges(const std::string& currentText) {
    if (hasReportedCorrection_) return;

    std::string precedingPart;
    if (!expectedText_.starts_with(injectedText_)) {
        const std::size_t expectedLength = characterCount(expectedText_);
        const std::size_t injectedLength = characterCount(injectedText_);
        precedingPart = firstCharacters(expectedText_, expectedLength - std::min(expectedLength, injectedLength));
    }
    std::string relevantText = currentText;
    if (!precedingPart.empty() && currentText.starts_with(precedingPart)) {
        relevantText = currentText.substr(firstCharacters(currentText, characterCount(precedingPart)).size());
    }

    for (const auto& [original, edited] : findCorrections(injectedWords_, tokenize(relevantText))) {
        if (toLower(original) == toLower(edited) || characterCount(original) < minimumWordLength ||
            characterCount(edited) < minimumWordLength) {
            continue;
        }
        log::line("📖 DiffTracker: detected correction '" + original + "' -> '" + edited + "'");
        hasReportedCorrection_ = true;
        if (onCorrectionDetected_) onCorrectionDetected_(original, edited);
        return;
    }
}

std::vector<std::string> DiffTracker::tokenize(const std::string& text) {
    std::vector<std::string> tokens;
    std::string current;
    for (char32_t c : codePoints(text)) {
        if (isWhitespaceOrNewline(c)) {
            if (!current.empty()) tokens.push_back(std::exchange(current, std::string()));
        } else {
            current += fromCodePoint(c);
        }
    }
    if (!current.empty()) tokens.push_back(std::move(current));
    return tokens;
}

std::string DiffTracker::normalForm(const std::string& token) {
    auto points = codePoints(toLower(token));
    auto begin = points.begin();
    auto end = points.end();
    while (begin != end && isUnicodePunctuation(*begin)) ++begin;
    while (end != begin && isUnicodePunctuation(*(end - 1))) --end;
    std::string result;
    for (auto it = begin; it != end; ++it) result += fromCodePoint(*it);
    return result;
}

namespace {

std::vector<std::string> normalForms(const std::vector<std::string>& tokens) {
    std::vector<std::string> forms;
    forms.reserve(tokens.size());
    for (const auto& token : tokens) forms.push_back(DiffTracker::normalForm(token));
    return forms;
}

}  // namespace

std::vector<std::string> DiffTracker::longestCommonSubsequence(const std::vector<std::string>& original,
                                                                const std::vector<std::string>& edited) {
    if (original.empty() || edited.empty()) return {};
    const auto a = normalForms(original);
    const auto b = normalForms(edited);
    const std::size_t rows = a.size() + 1;
    const std::size_t columns = b.size() + 1;
    std::vector<std::size_t> table(rows * columns, 0);
    auto at = [&](std::size_t i, std::size_t j) -> std::size_t& { return table[i * columns + j]; };
    for (std::size_t i = 1; i < rows; ++i) {
        for (std::size_t j = 1; j < columns; ++j) {
            at(i, j) = a[i - 1] == b[j - 1] ? at(i - 1, j - 1) + 1 : std::max(at(i - 1, j), at(i, j - 1));
        }
    }
    std::vector<std::string> common;
    std::size_t i = a.size();
    std::size_t j = b.size();
    while (i > 0 && j > 0) {
        if (a[i - 1] == b[j - 1]) {
            common.push_back(original[i - 1]);
            --i;
            --j;
        } else if (at(i - 1, j) > at(i, j - 1)) {
            --i;
        } else {
            --j;
        }
    }
    std::reverse(common.begin(), common.end());
    return common;
}

std::vector<DiffTracker::WordPair> DiffTracker::findCorrections(const std::vector<std::string>& original,
                                                                const std::vector<std::string>& edited) {
    const auto common = normalForms(longestCommonSubsequence(original, edited));
    const auto a = normalForms(original);
    const auto b = normalForms(edited);
    std::vector<WordPair> pairs;
    std::size_t i = 0;
    std::size_t j = 0;
    std::size_t k = 0;
    while (i < a.size() || j < b.size()) {
        if (k < common.size() && i < a.size() && j < b.size()) {
            const bool originalMatches = a[i] == common[k];
            const bool editedMatches = b[j] == common[k];
            if (originalMatches && editedMatches) {
                ++i;
                ++j;
                ++k;
            } else if (!originalMatches && !editedMatches) {
                pairs.emplace_back(original[i], edited[j]);
                ++i;
                ++j;
            } else if (originalMatches) {
                ++j;
            } else {
                ++i;
            }
        } else if (i < a.size()) {
            ++i;
        } else {
            ++j;
        }
    }
    return pairs;
}

}  // namespace parlune
