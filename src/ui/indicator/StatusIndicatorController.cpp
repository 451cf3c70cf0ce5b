#include "ui/indicator/StatusIndicatorController.h"

#include <QPainter>
#include <QPainterPath>
#include <QQmlEngine>

namespace parlune {

QImage AppIconProvider::requestImage(const QString&, QSize* size, const QSize& requestedSize) {
    QImage icon;
    {
        std::lock_guard lock(mutex_);
        icon = icon_;
    }
    const QSize target = requestedSize.isValid() ? requestedSize : QSize(20, 20);
    QImage result(target, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    if (!icon.isNull()) {
        QPainter painter(&result);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        // Corner radius 4 of 20 points, at whatever size the view asks for.
        const qreal radius = 4.0 * target.width() / 20.0;
        QPainterPath clip;
        clip.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(target)), radius, radius);
        painter.setClipPath(clip);
        const QImage scaled = icon.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        painter.drawImage(QPointF((target.width() - scaled.width()) / 2.0, (target.height() - scaled.height()) / 2.0), scaled);
    }
    if (size != nullptr) *size = target;
    return result;
}

void AppIconProvider::setIcon(QImage icon) {
    std::lock_guard lock(mutex_);
    icon_ = std::move(icon);
}

StatusIndicatorController::StatusIndicatorController(QQmlEngine& engine, FrontmostIconLookup frontmostIcon, QObject* parent)
    : QObject(parent), frontmostIcon_(std::move(frontmostIcon)), provider_(new AppIconProvider) {
    engine.addImageProvider(imageProviderId, provider_);
    dynamicNotch_ = new NotchPanel(engine, QUrl(QStringLiteral("qrc:/qt/qml/Parlune/IndicatorPanel.qml")),
                                   {{QStringLiteral("controller"), QVariant::fromValue<QObject*>(this)}},
                                   NotchPanel::HoverBehavior::keepVisible, this);
}

QString StatusIndicatorController::focusedAppIconSource() const {
    if (!hasFocusedAppIcon()) return {};
    return QStringLiteral("image://%1/appicon/%2").arg(imageProviderId).arg(iconRevision_);
}

void StatusIndicatorController::show() {
    if (frontmostIcon_) {
        if (auto icon = frontmostIcon_()) {
            focusedAppIcon_ = std::move(*icon);
            provider_->setIcon(*focusedAppIcon_);
            ++iconRevision_;
            emit focusedAppIconChanged();
        }
    }
    dynamicNotch_->show();
}

void StatusIndicatorController::hide() { dynamicNotch_->hide(); }

}  // namespace parlune
