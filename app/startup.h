#pragma once
// Where the window's sites come from: the configured ones, else the bundled
// demo site, started here on 127.0.0.1 for whatever is left unset.
#include "demo/demosite.h"
#include "web/siteconfig.h"

#include <memory>

class QCoreApplication;

SiteRoots StartSites(const QString &iniPath, std::unique_ptr<DemoSite> &demo);

// The "quillmark.ini" to read: the one beside the executable when it is there (a
// build tree, a copied program), else the user's own one in the configuration
// folder (~/.config/Quillmark/quillmark.ini): an installed program's folder is not
// the user's to write in.
QString SiteIniPath(const QString &appDir);

// The folder the game-path dialog opens in for an installed program that runs on
// its own demo site: the demo game folder installed with it
// (<prefix>/share/quillmark/demo-game for <prefix>/bin). Empty when the tool runs
// on other sites, or the folder is missing or not writable (downloads go into it).
QString InstalledDemoGameDir(const QString &appDir, bool onDemoSite);

// Qt's own texts in Chinese (the file dialog's labels, column headers and tips,
// the buttons of message and input boxes), from the system's Qt translations
// (package qt6-translations-l10n). False when they are not installed: the boxes'
// buttons are Chinese anyway, the rest of Qt's texts stay English.
bool LoadQtChinese(QCoreApplication *app);
