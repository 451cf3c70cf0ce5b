#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace parlune {

// One release in an update feed (an RSS item).
struct AppcastItem {
    QString title;
    QString version;             // sparkle:version, the one compared
    QString shortVersionString;  // sparkle:shortVersionString, the one shown (version when absent)
    QString url;                 // enclosure url
    QString displayVersion() const { return shortVersionString.isEmpty() ? version : shortVersionString; }
};

// The update feed ("appcast"): RSS 2.0 whose items carry the versions in the sparkle namespace,
// either as elements of the item or as attributes of its enclosure.
class Appcast {
public:
    // The items that carry a version; an error message when the text is not a well-formed feed.
    static std::vector<AppcastItem> parse(const QByteArray& xml, QString* error);
    // The item with the highest version (the first of equals), none for an empty list.
    static std::optional<AppcastItem> newest(const std::vector<AppcastItem>& items);
};

}  // namespace parlune
