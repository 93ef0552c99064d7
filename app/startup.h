#pragma once
// Where the window's sites come from: the configured ones, else the bundled
// demo site, started here on 127.0.0.1 for whatever is left unset.
#include "demo/demosite.h"
#include "web/siteconfig.h"

#include <memory>

SiteRoots StartSites(const QString &iniPath, std::unique_ptr<DemoSite> &demo);
