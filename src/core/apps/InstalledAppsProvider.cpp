#include "core/apps/InstalledAppsProvider.h"

#include "core/apps/AppCategoryMapping.h"
#include "core/text/Text.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <unordered_set>

namespace parlune {
namespace {

// The applications listed first in a category, highest first; compared in lower case.
const std::array<std::string_view, 3>& favourites(AppCategory category) {
    static const std::array<std::string_view, 3> work{"slack", "mail", "google chrome"};
    static const std::array<std::string_view, 3> social{"messages", "whatsapp", "discord"};
    static const std::array<std::string_view, 3> code{"cursor", "xcode", "terminal"};
    switch (category) {
        case AppCategory::work:
            return work;
        case AppCategory::social:
            return social;
        case AppCategory::code:
            break;
    }
    return code;
}

bool belongsTo(const InstalledApp& app, AppCategory category) {
    const auto found = AppCategoryMapping::categories(app.name);
    return std::find(found.begin(), found.end(), category) != found.end();
}

}  // namespace

InstalledAppsProvider::InstalledAppsProvider(EventLoop& loop, std::shared_ptr<ApplicationScanner> scanner,
                                             BackgroundRunner runner)
    : loop_(loop), scanner_(std::move(scanner)), runner_(std::move(runner)) {
    if (!runner_) {
        worker_ = std::make_unique<BackgroundWorker>();
        runner_ = [worker = worker_.get()](std::function<void()> job) { worker->submit(std::move(job)); };
    }
}

// The worker goes first: a scan still running finishes before the scanner and the state go.
InstalledAppsProvider::~InstalledAppsProvider() { worker_.reset(); }

void InstalledAppsProvider::loadApps() {
    runner_([loop = &loop_, scanner = scanner_, weakState = std::weak_ptr<State>(state_)] {
        auto apps = collectApps(scanner->scanApplications());
        loop->post([weakState, apps = std::move(apps)]() mutable {
            if (auto state = weakState.lock()) state->apps.set(std::move(apps));
        });
    });
}

std::vector<InstalledApp> InstalledAppsProvider::apps(AppCategory category) const {
    return appsInCategory(state_->apps.get(), category);
}

std::vector<InstalledApp> InstalledAppsProvider::collectApps(std::vector<InstalledApp> scanned) {
    std::vector<InstalledApp> result;
    std::unordered_set<std::string> names;
    for (auto& app : scanned) {
        if (names.insert(app.name).second) result.push_back(std::move(app));
    }
    std::stable_sort(result.begin(), result.end(), [](const InstalledApp& a, const InstalledApp& b) {
        return localizedCaseInsensitiveCompare(a.name, b.name) < 0;
    });
    return result;
}

std::vector<InstalledApp> InstalledAppsProvider::appsInCategory(const std::vector<InstalledApp>& apps,
                                                                AppCategory category) {
    struct Ranked {
        std::optional<std::size_t> position;
        const InstalledApp* app;
    };
    const auto& priorities = favourites(category);
    std::vector<Ranked> kept;
    for (const auto& app : apps) {
        if (!belongsTo(app, category)) continue;
        const std::string lowered = toLower(app.name);
        auto found = std::find_if(priorities.begin(), priorities.end(),
                                  [&](std::string_view entry) { return lowered.starts_with(entry); });
        kept.push_back({found != priorities.end() ? std::optional(static_cast<std::size_t>(found - priorities.begin()))
                                                  : std::nullopt,
                        &app});
    }
    std::stable_sort(kept.begin(), kept.end(), [](const Ranked& a, const Ranked& b) {
        if (a.position && b.position) return *a.position < *b.position;
        if (a.position || b.position) return a.position.has_value();
        return localizedCaseInsensitiveCompare(a.app->name, b.app->name) < 0;
    });
    std::vector<InstalledApp> result;
    result.reserve(kept.size());
    for (const auto& ranked : kept) result.push_back(*ranked.app);
    return result;
}

}  // namespace parlune
