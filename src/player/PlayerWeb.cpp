#include "PlayerWeb.h"

#include "PlayerOptions.h"
#include "PlayerStatus.h"
#include "web/QrCode.h"
#include "web/WebKey.h"

bool startPlayerWeb(ShowControl& show, const PlayerOptions& options, PlayerStatus& status,
                    std::unique_ptr<WebServer>& web) {
    if (!options.web.enabled)
        return true;
    QString error;
    web = WebServer::start(show, options.web, WebKey::playerKeyPath(), &error);
    if (!web) {
        status.error(error);
        return false;
    }
    const QString url = web->pageUrl();
    status.error(QStringLiteral("Távvezérlés: %1\n%2").arg(url, QrCode(url.toUtf8()).text()));
    return true;
}
