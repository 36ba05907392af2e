#include "about/links.h"

#include "platform/platform.h"

namespace vintrel {

namespace {
void openPage(UrlOpener& urls, Messages& messages, const QString& url) {
  if (!urls.open(url))
    messages.inform("Vintrel could not start a web browser.", QString("The page is at %1").arg(url));
}
}  // namespace

void openHomePage(UrlOpener& urls, Messages& messages) { openPage(urls, messages, kHomePage); }

void offerCodecHelp(UrlOpener& urls, Messages& messages) {
  if (messages.askYesNo(kCodecQuestion)) openPage(urls, messages, kCodecPage);
}

}  // namespace vintrel
