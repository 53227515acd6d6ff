#include "prometheus_connection.h"

#include <QSettings>

namespace {

const char *const urlKey = "Prometheus/Adresse";
const char *const userKey = "Prometheus/Benutzer";
const char *const tokenKey = "Prometheus/TokenDatei";
const char *const caKey = "Prometheus/CADatei";

QUrl withoutCredentials(QUrl url)
{
    url.setUserInfo({});
    return url;
}

} // namespace

ParsedAddress ParsePrometheusAddress(const QString &text)
{
    ParsedAddress parsed;
    const QUrl url = QUrl::fromUserInput(text.trimmed());
    const QString scheme = url.scheme().toLower();
    if (text.trimmed().isEmpty() || !url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        parsed.problem = QStringLiteral("Die Adresse muss mit http:// oder https:// beginnen und "
                                        "einen Rechner nennen, etwa https://prometheus:9090.");
        return parsed;
    }
    parsed.connection.url = withoutCredentials(url);
    parsed.connection.user = url.userName();
    parsed.connection.password = url.password();
    return parsed;
}

QString DisplayAddress(const QUrl &url)
{
    return withoutCredentials(url).toDisplayString(QUrl::RemoveQuery | QUrl::RemoveFragment);
}

PrometheusConnection LoadPrometheusConnection(const QSettings &settings)
{
    PrometheusConnection connection;
    connection.url = withoutCredentials(QUrl(settings.value(urlKey).toString()));
    connection.user = settings.value(userKey).toString();
    connection.tokenFile = settings.value(tokenKey).toString();
    connection.caFile = settings.value(caKey).toString();
    return connection;
}

void SavePrometheusConnection(QSettings &settings, const PrometheusConnection &connection)
{
    settings.setValue(urlKey, withoutCredentials(connection.url).toString());
    settings.setValue(userKey, connection.user);
    settings.setValue(tokenKey, connection.tokenFile);
    settings.setValue(caKey, connection.caFile);
    settings.sync();
}
