// The browser on Linux and other XDG desktops: GIO's default application for HTML pages.
// GIO first: its headers use names that Qt's keywords would turn into macros.
#include <gio/gio.h>

#include <memory>

#include "support/online/OpenWebPage.h"

namespace tavrino {

BrowserLaunch LaunchBrowser(const WebPageTarget& target, QWidget* /*owner*/) {
    const std::unique_ptr<GAppInfo, decltype(&g_object_unref)> browser(
        g_app_info_get_default_for_type("text/html", FALSE), &g_object_unref);
    if (!browser) {
        return BrowserLaunch::NoBrowser;
    }
    // One URI: GIO hands it to the program as one argument (%u, %U), or as the local path for
    // %f and %F when it is a file:// URI.
    const QByteArray uri = target.url.toUtf8();
    GList uris{const_cast<char*>(uri.constData()), nullptr, nullptr};
    GError* error = nullptr;
    const gboolean started = g_app_info_launch_uris(browser.get(), &uris, nullptr, &error);
    g_clear_error(&error);
    return started ? BrowserLaunch::Started : BrowserLaunch::StartFailed;
}

}  // namespace tavrino
