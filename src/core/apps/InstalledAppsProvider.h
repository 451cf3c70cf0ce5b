#pragma once

#include "core/apps/InstalledApp.h"
#include "core/runtime/BackgroundWorker.h"
#include "core/runtime/EventLoop.h"
#include "core/runtime/Property.h"
#include "core/values/Values.h"
#include "platform/ApplicationScanner.h"

#include <functional>
#include <memory>
#include <vector>

namespace parlune {

// The installed applications, for the views that let the user pick styles per application or per
// category. Lives on the main loop.
class InstalledAppsProvider {
public:
    // Runs a job off the main loop.
    using BackgroundRunner = std::function<void(std::function<void()> job)>;

    // Without a runner the provider scans on a thread of its own.
    InstalledAppsProvider(EventLoop& loop, std::shared_ptr<ApplicationScanner> scanner, BackgroundRunner runner = {});
    ~InstalledAppsProvider();
    InstalledAppsProvider(const InstalledAppsProvider&) = delete;
    InstalledAppsProvider& operator=(const InstalledAppsProvider&) = delete;

    // Sorted by display name; empty until the first load has been published.
    const Property<std::vector<InstalledApp>>& apps() const { return state_->apps; }

    // Rescans off the main loop and then replaces apps() on the loop in one assignment (observers
    // hear of it once per load, also when nothing changed). Loads are published in call order.
    void loadApps();

    // The loaded applications of one category, the category's favourites first (in their order),
    // then the others alphabetically. Reads apps() only; does not load.
    std::vector<InstalledApp> apps(AppCategory category) const;

    // A scan made into the published list: the first application of each display name is kept,
    // then all are sorted by name, locale-aware and case-insensitive, equal names in scan order.
    static std::vector<InstalledApp> collectApps(std::vector<InstalledApp> scanned);
    // The applications of `apps` that belong to the category, in the order apps(category) gives.
    static std::vector<InstalledApp> appsInCategory(const std::vector<InstalledApp>& apps, AppCategory category);

private:
    struct State {
        Property<std::vector<InstalledApp>> apps;
    };

    EventLoop& loop_;
    std::shared_ptr<ApplicationScanner> scanner_;
    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::unique_ptr<BackgroundWorker> worker_;  // only when no runner was given
    BackgroundRunner runner_;
};

}  // namespace parlune
