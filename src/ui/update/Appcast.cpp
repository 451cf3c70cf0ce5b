#include "ui/update/Appcast.h"

#include "core/update/VersionComparator.h"

#include <QXmlStreamReader>

namespace parlune {
namespace {

constexpr auto sparkleNamespace = "http://www.andymatuschak.org/xml-namespaces/sparkle";

bool isSparkle(const QXmlStreamReader& reader, const char* name) {
    return reader.namespaceUri() == QLatin1String(sparkleNamespace) && reader.name() == QLatin1String(name);
}

AppcastItem readItem(QXmlStreamReader& reader) {
    AppcastItem item;
    while (reader.readNextStartElement()) {
        if (reader.namespaceUri().isEmpty() && reader.name() == QLatin1String("title")) {
            item.title = reader.readElementText().trimmed();
        } else if (isSparkle(reader, "version")) {
            item.version = reader.readElementText().trimmed();
        } else if (isSparkle(reader, "shortVersionString")) {
            item.shortVersionString = reader.readElementText().trimmed();
        } else if (reader.namespaceUri().isEmpty() && reader.name() == QLatin1String("enclosure")) {
            const auto attributes = reader.attributes();
            item.url = attributes.value("url").toString().trimmed();
            const auto version = attributes.value(sparkleNamespace, "version").toString().trimmed();
            const auto shortVersion = attributes.value(sparkleNamespace, "shortVersionString").toString().trimmed();
            if (item.version.isEmpty()) item.version = version;
            if (item.shortVersionString.isEmpty()) item.shortVersionString = shortVersion;
            reader.skipCurrentElement();
        } else {
            reader.skipCurrentElement();
        }
    }
    return item;
}

}  // namespace

std::vector<AppcastItem> Appcast::parse(const QByteArray& xml, QString* error) {
    std::vector<AppcastItem> items;
    QXmlStreamReader reader(xml);
    bool sawRss = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement()) continue;
        if (reader.name() == QLatin1String("rss")) sawRss = true;
        if (reader.name() == QLatin1String("item") && reader.namespaceUri().isEmpty()) {
            auto item = readItem(reader);
            if (!item.version.isEmpty()) items.push_back(std::move(item));
        }
    }
    if (error != nullptr) {
        if (reader.hasError()) {
            *error = QStringLiteral("the feed is not well-formed XML (line %1: %2)").arg(reader.lineNumber()).arg(reader.errorString());
        } else if (!sawRss) {
            *error = QStringLiteral("the feed is not an RSS document");
        } else {
            error->clear();
        }
    }
    if (reader.hasError() || !sawRss) items.clear();
    return items;
}

std::optional<AppcastItem> Appcast::newest(const std::vector<AppcastItem>& items) {
    std::optional<AppcastItem> best;
    for (const auto& item : items) {
        if (!best || VersionComparator::compare(item.version.toStdString(), best->version.toStdString()) > 0) best = item;
    }
    return best;
}

}  // namespace parlune
