// Cost of the hotkey tap's decision for one key event: it runs synchronously in the delivery of
// every key event of the session.

#include "core/hotkey/HotkeyRecorder.h"
#include "core/hotkey/KeyboardMonitor.h"
#include "core/runtime/VirtualLoop.h"

#include <benchmark/benchmark.h>

using namespace parlune;

namespace {

KeyEvent event(KeyEventType type, std::uint16_t keyCode, std::uint64_t flags) {
    KeyEvent result;
    result.type = type;
    result.keyCode = keyCode;
    result.flags = flags;
    return result;
}

// A keyboard whose tap is handed events by the benchmark itself.
class BenchKeyboard final : public KeyboardEvents {
public:
    struct Tap final : EventTap {
        void setEnabled(bool) override {}
    };
    std::unique_ptr<EventTap> createEventTap(const EventTapOptions&, EventTapCallback tapCallback,
                                             void* tapUserInfo) override {
        callback = tapCallback;
        userInfo = tapUserInfo;
        return std::make_unique<Tap>();
    }
    std::unique_ptr<RunLoopSource> addToMainLoop(EventTap&) override { return std::make_unique<RunLoopSource>(); }
    std::unique_ptr<EventMonitor> addGlobalMonitor(std::uint64_t, Handler) override { return nullptr; }
    std::unique_ptr<EventMonitor> addLocalMonitor(std::uint64_t, Handler) override { return nullptr; }
    bool canSee(std::uint16_t, std::uint64_t) const override { return true; }
    TapDecision send(const KeyEvent& key) { return callback(key.type, key, userInfo); }

    EventTapCallback callback = nullptr;
    void* userInfo = nullptr;
};

class Trusted final : public AccessibilityTrust {
public:
    bool isProcessTrusted(bool) override { return true; }
};

struct Monitored {
    explicit Monitored(const RecordedHotkey& hotkey) {
        monitor = KeyboardMonitor::create(loop, keyboard, std::make_shared<Trusted>());
        monitor->setOnKeyDown([this] { ++reports; });
        monitor->setOnKeyUp([this] { ++reports; });
        monitor->startMonitoring(hotkey);
    }
    VirtualLoop loop;
    std::shared_ptr<BenchKeyboard> keyboard = std::make_shared<BenchKeyboard>();
    std::shared_ptr<KeyboardMonitor> monitor;
    int reports = 0;
};

// The common case: any other key while Right Control is the hotkey.
void BM_TapDecision_OtherKeyPasses(benchmark::State& state) {
    Monitored rig(RecordedHotkey{62, 0, "Right Control"});
    const auto key = event(KeyEventType::keyDown, 0, 0);
    for (auto _ : state) benchmark::DoNotOptimize(rig.keyboard->send(key));
}
BENCHMARK(BM_TapDecision_OtherKeyPasses);

// Another modifier's flags-changed event while a modifier-only hotkey is watched.
void BM_TapDecision_OtherModifierPasses(benchmark::State& state) {
    Monitored rig(RecordedHotkey{62, 0, "Right Control"});
    const auto key = event(KeyEventType::flagsChanged, 56, ModifierFlag::shift);
    for (auto _ : state) benchmark::DoNotOptimize(rig.keyboard->send(key));
}
BENCHMARK(BM_TapDecision_OtherModifierPasses);

// Auto-repeat of a held key combination: swallowed without a report.
void BM_TapDecision_AutoRepeatSwallowed(benchmark::State& state) {
    Monitored rig(RecordedHotkey{2, ModifierFlag::command | ModifierFlag::shift, "⇧⌘D"});
    const auto key = event(KeyEventType::keyDown, 2, ModifierFlag::command | ModifierFlag::shift);
    rig.keyboard->send(key);
    for (auto _ : state) benchmark::DoNotOptimize(rig.keyboard->send(key));
    rig.loop.runUntilIdle();
}
BENCHMARK(BM_TapDecision_AutoRepeatSwallowed);

// A press or a release of the hotkey: the decision plus scheduling the report on the loop, and the
// report itself (run by the loop afterwards, reported per pair of events).
void BM_TapDecision_PressAndReleaseWithReports(benchmark::State& state) {
    Monitored rig(RecordedHotkey{62, 0, "Right Control"});
    const auto press = event(KeyEventType::flagsChanged, 62, ModifierFlag::control);
    const auto release = event(KeyEventType::flagsChanged, 62, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(rig.keyboard->send(press));
        benchmark::DoNotOptimize(rig.keyboard->send(release));
        rig.loop.runUntilIdle();
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_TapDecision_PressAndReleaseWithReports);

// The recorder's listen-only callback for a key-down (schedules one delivery).
void BM_RecorderTap_KeyDown(benchmark::State& state) {
    VirtualLoop loop;
    RecorderTapContext context;
    int delivered = 0;
    context.onRecord = [&](std::uint16_t, std::uint64_t, std::optional<std::vector<std::uint16_t>>) { ++delivered; };
    auto key = event(KeyEventType::keyDown, 96, 0);
    key.text[0] = 0xF708;
    key.textLength = 1;
    for (auto _ : state) benchmark::DoNotOptimize(HotkeyRecorder::tapCallback(key.type, key, &context));
    benchmark::DoNotOptimize(delivered);
}
BENCHMARK(BM_RecorderTap_KeyDown);

}  // namespace

BENCHMARK_MAIN();
