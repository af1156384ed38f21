# Online services: vendor site addresses, update check, error report sending, web page launcher,
# About box.
tavrino_core_sources(VendorSite.cpp OpenWebPageDesktopEntry.cpp SysInfo.cpp)
tavrino_app_sources(HttpGet.cpp UpdateCheck.cpp frmNewRelease.cpp ErrorReportSender.cpp
                    OpenWebPage.cpp frmAbout.cpp)
