#pragma once

#include "core/session/Workers.h"
#include "ui/indicator/NotchPanel.h"

#include <QImage>
#include <QObject>
#include <QQuickImageProvider>

#include <functional>
#include <memory>
#include <optional>

namespace parlune {

// The frontmost application as the indicator needs it: none when no application is in front,
// otherwise its icon (a null image when it has none).
using FrontmostIconLookup = std::function<std::optional<QImage>()>;

// Serves the indicator's application icon to the views as "image://parlune/appicon/N", cut to a
// rounded square of corner radius 4 at the requested size.
class AppIconProvider final : public QQuickImageProvider {
public:
    AppIconProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
    void setIcon(QImage icon);

private:
    std::mutex mutex_;
    QImage icon_;
};

// The recording indicator: a notch panel with the frontmost application's icon and the breathing
// mark, shown while the hotkey is held.
class StatusIndicatorController final : public QObject, public IStatusIndicator {
    Q_OBJECT
    Q_PROPERTY(bool hasFocusedAppIcon READ hasFocusedAppIcon NOTIFY focusedAppIconChanged)
    Q_PROPERTY(QString focusedAppIconSource READ focusedAppIconSource NOTIFY focusedAppIconChanged)

public:
    static constexpr const char* imageProviderId = "parlune";

    // Adds its image provider to the engine.
    StatusIndicatorController(QQmlEngine& engine, FrontmostIconLookup frontmostIcon, QObject* parent = nullptr);

    void show() override;
    void hide() override;

    bool hasFocusedAppIcon() const { return focusedAppIcon_.has_value() && !focusedAppIcon_->isNull(); }
    QString focusedAppIconSource() const;
    NotchPanel& panel() { return *dynamicNotch_; }

signals:
    void focusedAppIconChanged();

private:
    FrontmostIconLookup frontmostIcon_;
    AppIconProvider* provider_;  // owned by the engine
    std::optional<QImage> focusedAppIcon_;
    int iconRevision_ = 0;
    NotchPanel* dynamicNotch_;
};

}  // namespace parlune
